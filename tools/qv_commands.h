// The commands of the `qv` toolkit. Each takes the arguments after its name and returns the
// process exit status.
#pragma once

namespace tools {

int RunBuild(int argc, char** argv);    // qv build SOURCE -o OUT.acs
int RunDump(int argc, char** argv);     // qv dump DEMO.acs
int RunCheck(int argc, char** argv);    // qv check DEMO.acs
int RunTrace(int argc, char** argv);    // qv trace DEMO.acs --times T1,T2,... [--size WxH]
int RunTexture(int argc, char** argv);  // qv texture ...
int RunModel(int argc, char** argv);    // qv model ...
int RunRender(int argc, char** argv);   // qv render DEMO.acs --time T -o OUT.png ...
int RunSynth(int argc, char** argv);    // qv synth PATTERN -o OUT.wav

}  // namespace tools
