// The commands of the `qv` toolkit. Each takes the arguments after its name and returns the
// process exit status (0 done, 1 errors, 2 wrong arguments); each has its help text, which
// `qv COMMAND --help` prints.
#pragma once

namespace tools {

int RunBuild(int argc, char** argv);    // qv build SOURCE -o OUT.acs
int RunDump(int argc, char** argv);     // qv dump DEMO.acs [--offsets]
int RunCheck(int argc, char** argv);    // qv check FILE [--werror]
int RunTrace(int argc, char** argv);    // qv trace DEMO.acs --times T1,T2,... [--size WxH]
int RunTexture(int argc, char** argv);  // qv texture ...
int RunModel(int argc, char** argv);    // qv model ...
int RunObj(int argc, char** argv);      // qv obj FILE.obj -o OUT.obj [--materials a,b,c]
int RunRender(int argc, char** argv);   // qv render DEMO.acs --time T -o OUT.png ...
int RunSynth(int argc, char** argv);    // qv synth PATTERN -o OUT.wav
int RunPlay(int argc, char** argv);     // qv play SOURCE.qvs | DEMO.acs ...

extern const char kBuildHelp[], kDumpHelp[], kCheckHelp[], kTraceHelp[], kTextureHelp[],
    kModelHelp[], kRenderHelp[], kSynthHelp[], kPlayHelp[], kObjHelp[];

}  // namespace tools
