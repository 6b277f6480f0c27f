#include "textures/texmanager.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "core/byte_reader.h"
#include "gl/gl_layer.h"
#include "textures/image_loaders.h"
#include "textures/tex_program.h"
#include "textures/upload.h"

namespace textures {
namespace {

struct TextureSlot {     // traditional name: qvTexture
    std::string name;    // not stored in the demo file; stays empty
    std::string source;  // the slot's bytes as read
};

struct State {
    std::vector<TextureSlot> sources;  // TextureSources
    std::vector<uint32_t> names;       // TextureNames
    TextureLoadHookFn loadHook = nullptr;
    int32_t workers = -1;  // program-building threads; -1: one per spare core
};
State g_state;

// The outputs of the last build's programs, by program and starting random state, kept across
// ResetTextures while a workbench asks for it. A program and its random state make its
// output, bit for bit; a program that draws no random numbers, the program alone.
struct ProgramOutputs {
    bool keep = false;
    std::map<std::string, std::vector<uint8_t>> byKey;
    int32_t ran = 0;  // programs run by the last LoadAllTextures
};
ProgramOutputs g_outputs;

std::string OutputKey(const std::string& source, uint32_t randomState) {
    std::string key = source;
    for (int shift = 0; shift < 32; shift += 8) key.push_back(char(randomState >> shift));
    return key;
}

bool InTable(int32_t slot) { return slot >= 0 && size_t(slot) < g_state.names.size(); }

}  // namespace

SlotKind SlotKindOf(std::span<const uint8_t> source) {
    if (source.empty()) return SlotKind::RenderTarget;
    if (source[0] == 0) return SlotKind::None;
    if (source[0] == 2) return SlotKind::Program;
    return SlotKind::ImageFile;
}
SlotKind SlotKindOf(const std::string& source) { return SlotKindOf(core::AsBytes(source)); }

std::string SlotImagePath(const std::string& source) { return "data\\" + source; }

void SetTextureLoadHook(TextureLoadHookFn hook) { g_state.loadHook = hook; }

namespace {

// Builds the program slots of the table on worker threads while the main thread walks the
// slots in order, calls the hook, uploads each composed image as soon as it is ready and
// builds the other kinds itself. Each program starts from the random state the serial order
// would give it (the Noise draws of the programs before it, jumped over), so every texture and
// every GL call is the same as when the slots are built one after the other. Workers stay at
// most a few programs ahead of the uploads, which bounds the images held at once.
class ParallelProgramBuild {
public:
    ParallelProgramBuild(const std::vector<TextureSlot>& sources, int32_t workerCount) {
        uint32_t state = Generator().random;
        for (int32_t slot = 0; slot < int32_t(sources.size()); ++slot) {
            const std::string& source = sources[slot].source;
            if (SlotKindOf(source) != SlotKind::Program) continue;
            Job job;
            job.program = ParseTexProgram(core::AsBytes(source).subspan(1));
            job.randomState = state;
            const uint64_t draws = RandomDrawsOf(job.program);
            if (g_outputs.keep) {
                job.key = OutputKey(source, draws > 0 ? state : 0);
                auto kept = g_outputs.byKey.find(job.key);
                if (kept != g_outputs.byKey.end()) {
                    job.pixels = kept->second;  // a copy: slots may share a program
                    job.ready = true;
                }
            }
            state = AdvanceRandomState(state, draws);
            jobs_.push_back(std::move(job));
        }
        // What this build does not use again is dropped: the outputs kept are one demo's.
        if (g_outputs.keep) g_outputs.byKey.clear();
        finalRandomState_ = state;
        window_ = size_t(workerCount) * 2;
        for (int32_t i = 0; i < workerCount; ++i) threads_.emplace_back([this] { Work(); });
    }
    ~ParallelProgramBuild() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        for (std::thread& t : threads_) t.join();
    }
    size_t ProgramCount() const { return jobs_.size(); }
    // Programs run, not taken from the kept outputs (final once every slot is uploaded).
    int32_t ProgramsRun() {
        std::lock_guard lock(mutex_);
        return ran_;
    }

    // Uploads the next program slot in slot order and returns its name.
    uint32_t UploadNext() {
        std::unique_lock lock(mutex_);
        Job& job = jobs_[uploaded_];
        changed_.wait(lock, [&] { return job.ready; });
        std::vector<uint8_t> pixels = std::move(job.pixels);
        lock.unlock();
        const uint32_t name = UploadMipmapped(kLayerSize, kLayerSize, pixels.data());
        lock.lock();
        if (g_outputs.keep) g_outputs.byKey[job.key] = std::move(pixels);
        else spare_.push_back(std::move(pixels));  // reused by the next program a worker runs
        ++uploaded_;
        const bool last = uploaded_ == jobs_.size();
        lock.unlock();
        changed_.notify_all();
        if (last) Generator().random = finalRandomState_;
        return name;
    }

private:
    struct Job {
        TexProgram program;
        uint32_t randomState = 0;
        std::string key;  // when outputs are kept
        std::vector<uint8_t> pixels;
        bool ready = false;  // from the start when its output was kept
    };

    void Work() {
        GeneratorStatePtr images = NewGeneratorState();
        for (;;) {
            size_t index;
            std::vector<uint8_t> pixels;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] {
                    return stopping_ || claimed_ >= jobs_.size() || claimed_ < uploaded_ + window_;
                });
                if (stopping_ || claimed_ >= jobs_.size()) return;
                index = claimed_++;
                if (jobs_[index].ready) continue;
                ++ran_;
                if (!spare_.empty()) {
                    pixels = std::move(spare_.back());
                    spare_.pop_back();
                }
            }
            Job& job = jobs_[index];
            pixels.resize(kOutputBytes);
            images->random = job.randomState;
            RunTexProgram(*images, job.program, pixels.data());
            {
                std::lock_guard lock(mutex_);
                job.pixels = std::move(pixels);
                job.ready = true;
            }
            changed_.notify_all();
        }
    }

    std::vector<Job> jobs_;
    uint32_t finalRandomState_ = 0;
    size_t window_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t claimed_ = 0;
    size_t uploaded_ = 0;
    int32_t ran_ = 0;
    std::vector<std::vector<uint8_t>> spare_;  // output images already uploaded
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

int32_t WorkerCount() {
    const int32_t configured = g_state.workers;
    if (configured >= 0) return configured;
    // The main thread uploads and builds the other slots: one worker per remaining core.
    const uint32_t cores = std::max(2u, std::thread::hardware_concurrency());
    return int32_t(std::min(8u, cores - 1));
}

}  // namespace

void SetTextureWorkers(int32_t workers) { g_state.workers = workers; }

void KeepProgramOutputs(bool keep) {
    g_outputs.keep = keep;
    if (!keep) g_outputs.byKey.clear();
}

int32_t ProgramsRunByLastLoad() { return g_outputs.ran; }

void LoadAllTextures(const demo::DemoFile& demo) {
    State& table = g_state;
    table.sources.clear();
    for (const demo::CountedText& source : demo.textureSources)
        table.sources.push_back({"", source.bytes});
    table.names.assign(table.sources.size(), 0);
    std::unique_ptr<ParallelProgramBuild> parallel;
    int32_t ran = 0;
    if (WorkerCount() > 0) {
        parallel = std::make_unique<ParallelProgramBuild>(table.sources, WorkerCount());
        // Nothing to overlap; kept outputs are worth the build all the same.
        if (parallel->ProgramCount() < (g_outputs.keep ? 1 : 2)) parallel.reset();
    }
    for (int32_t slot = 0; slot < TextureCount(); ++slot) {
        if (table.loadHook) table.loadHook();
        const bool program = SlotKindOf(table.sources[slot].source) == SlotKind::Program;
        if (parallel && program) {
            table.names[slot] = parallel->UploadNext();
        } else {
            ran += program;
            LoadTexture(slot);
        }
    }
    g_outputs.ran = ran + (parallel ? parallel->ProgramsRun() : 0);
}

void LoadTexture(int32_t slot) {
    if (!InTable(slot)) return;
    State& table = g_state;
    uint32_t& name = table.names[slot];
    if (name != 0) {
        gl::glDeleteTexture(name);
        name = 0;  // never leave a deleted name in the table
    }
    const std::string& source = table.sources[slot].source;
    switch (SlotKindOf(source)) {
        case SlotKind::RenderTarget: CreateRenderTexture(slot); break;
        case SlotKind::None: break;
        case SlotKind::Program: name = GenerateTexture(core::AsBytes(source).subspan(1)); break;
        case SlotKind::ImageFile: LoadTextureFile(SlotImagePath(source), name); break;
    }
}

void CreateRenderTexture(int32_t slot) {
    if (!InTable(slot)) return;
    uint32_t& name = g_state.names[slot];
    name = gl::glGenTexture();
    gl::glBindTexture(gl::GL_TEXTURE_2D, name);
    // The content is overwritten by the first screen copy; zeros keep runs reproducible.
    const std::vector<uint8_t> blank(size_t(kRenderTargetSize) * kRenderTargetSize * 3, 0);
    gl::glTexImage2D(gl::GL_TEXTURE_2D, 0, 3, kRenderTargetSize, kRenderTargetSize, 0, gl::GL_RGB,
                     gl::GL_UNSIGNED_BYTE, blank.data());
    gl::glTexParameteri(gl::GL_TEXTURE_2D, gl::GL_TEXTURE_MAG_FILTER, gl::GL_LINEAR);
    gl::glTexParameteri(gl::GL_TEXTURE_2D, gl::GL_TEXTURE_MIN_FILTER, gl::GL_LINEAR);
}

void ResetTextures() {
    g_state = State{};
    Generator().random = 0;
}

int32_t TextureCount() { return int32_t(g_state.names.size()); }

uint32_t TextureNameAt(int32_t slot) { return InTable(slot) ? g_state.names[slot] : 0; }

std::span<const uint32_t> TextureNames() { return g_state.names; }

uint32_t RandomStateBeforeSlot(const std::vector<demo::CountedText>& sources, int32_t slot) {
    uint64_t draws = 0;
    for (int32_t i = 0; i < slot && size_t(i) < sources.size(); ++i) {
        const std::span<const uint8_t> source = core::AsBytes(sources[i].bytes);
        if (SlotKindOf(source) == SlotKind::Program)
            draws += RandomDrawsOf(ParseTexProgram(source.subspan(1)));
    }
    return AdvanceRandomState(0, draws);
}

}  // namespace textures
