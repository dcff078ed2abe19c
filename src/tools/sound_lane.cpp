// The sound lane (sound_lane.h): one encoder whose standard input is a
// pipe, fed the pieces' samples by a thread of its own.

#include "tools/sound_lane.h"

#include "os/cache_store.h"
#include "os/dos.h"
#include "os/work.h"
#include "process/process.h"
#include "tools/probe_library.h"
#include "tools/probe_memory.h"
#include "tools/render_support.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace cwtools {
namespace {

using Clock = std::chrono::steady_clock;

// How a finished file's sound is compressed, by the container its name
// asks for. The encoders put a delay of their own before the sound (1105
// samples for MP3, 1024 for AAC). MP4 says so in its edit list; AVI and
// Matroska players play it, so the sound would start and end late. There
// the delay takes the place of the sound's first samples, which keeps the
// sound on the picture. Opus names its delay in the stream itself, which
// every player honours.
const std::vector<FinishSound>& FinishSounds()
{
    static const std::vector<FinishSound> rows = {
        {"avi", "mp3", {"-af", "atrim=start_sample=1105", "-c:a", "libmp3lame", "-b:a", "192k"}},
        {"webm", "opus", {"-c:a", "libopus", "-b:a", "128k", "-ar", "48000"}},
        {"matroska", "aac", {"-af", "atrim=start_sample=1024", "-c:a", "aac", "-b:a", "192k"}},
        {"mp4", "aac", {"-c:a", "aac", "-b:a", "192k"}},
        {"mov", "aac", {"-c:a", "aac", "-b:a", "192k"}},
    };
    return rows;
}

// Hands the pieces' samples to the encoder's standard input in order, on a
// thread of its own: the encoder takes them as fast as it compresses, and
// the joins must not wait for it. The pipe never blocks the thread, so
// stopping it never waits for the encoder.
class SampleFeeder {
public:
    explicit SampleFeeder(FileDescriptor pipe) : pipe_(std::move(pipe)), thread_([this] { Run(); }) {}
    ~SampleFeeder() { Stop(); }
    SampleFeeder(const SampleFeeder&) = delete;
    SampleFeeder& operator=(const SampleFeeder&) = delete;

    void Add(std::string path)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        files_.push_back(std::move(path));
        wake_.notify_all();
    }

    // Writes everything added, then closes the pipe, which ends the
    // encoder's input; false when a write failed, the cancel came, or the
    // encoder took nothing for the tools' no-progress bound.
    bool Drain(const RunCancel& cancel)
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
            wake_.notify_all();
        }
        const ToolWaitScope waiting;
        long long lastWritten = -1;
        Clock::time_point lastProgress = Clock::now();
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_) {
            if (cancel.Requested()
                || std::chrono::duration<double>(Clock::now() - lastProgress).count() > ToolTimeoutSeconds()) {
                lock.unlock();
                Stop();
                return false;
            }
            if (written_ != lastWritten) {
                lastWritten = written_;
                lastProgress = Clock::now();
            }
            lock.unlock();
            PollToolWait();
            lock.lock();
            wake_.wait_for(lock, std::chrono::milliseconds(20));
        }
        lock.unlock();
        Stop();
        return !failed_;
    }

private:
    void Stop()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
            wake_.notify_all();
        }
        if (thread_.joinable())
            thread_.join();
        pipe_ = FileDescriptor();
    }

    void Run()
    {
        // An encoder that has gone makes a write fail instead of ending
        // the program; the signal it leaves pending is taken below.
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        while (const std::optional<std::string> path = Next()) {
            if (!failed_ && !WriteFile(*path))
                failed_ = true;
        }
        const timespec none{};
        while (sigtimedwait(&pipeSignal, nullptr, &none) > 0) {
        }
        const std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
        wake_.notify_all();
    }

    // The next file to write; none once stopped, or closing with all written.
    std::optional<std::string> Next()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return stop_ || closing_ || !files_.empty(); });
        if (stop_ || files_.empty())
            return std::nullopt;
        std::string path = std::move(files_.front());
        files_.pop_front();
        return path;
    }

    bool WriteFile(const std::string& path)
    {
        const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!file.Valid())
            return false;
        std::array<char, 65536> buffer{};
        while (true) {
            const ssize_t got = ::read(file.Get(), buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return false;
            if (got == 0)
                return true;
            if (!WriteSome(buffer.data(), static_cast<std::size_t>(got)))
                return false;
        }
    }

    bool WriteSome(const char* data, std::size_t size)
    {
        while (size > 0) {
            if (Stopped())
                return false;
            pollfd room{pipe_.Get(), POLLOUT, 0};
            if (::poll(&room, 1, 50) <= 0)
                continue;
            if ((room.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
                return false;
            const ssize_t put = ::write(pipe_.Get(), data, size);
            if (put < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (put < 0)
                return false;
            data += put;
            size -= static_cast<std::size_t>(put);
            const std::lock_guard<std::mutex> lock(mutex_);
            written_ += put;
        }
        return true;
    }

    bool Stopped()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return stop_;
    }

    FileDescriptor pipe_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::string> files_;
    bool closing_ = false;
    bool stop_ = false;
    bool done_ = false;
    long long written_ = 0;
    std::atomic<bool> failed_{false};
    std::thread thread_; // last: it starts once the rest is there
};

std::string LaneFile() { return TemporaryHostFile("__CWSoundLane"); }
std::string LaneErrors() { return TemporaryHostFile("__CWSoundLane.err"); }
std::string LaneOutput() { return TemporaryHostFile("__CWSoundLane.out"); }

struct Lane {
    std::thread::id owner = std::this_thread::get_id();
    std::string container;
    std::vector<std::string> fed; // the pieces handed over, in order
    std::vector<std::string> asked; // the encoder's words but its output's name
    long long sampleRate = 0;
    bool failed = false;
    std::unique_ptr<HostStarted> encoder;
    std::unique_ptr<SampleFeeder> feeder; // after the encoder: it stops first

    // Starts the encoder on a pipe of samples at `rate`.
    bool Start(long long rate)
    {
        const FinishSound* sound = FinishSoundOf(container);
        std::array<int, 2> ends{};
        if (!sound || ::pipe2(ends.data(), O_CLOEXEC) != 0)
            return false;
        const FileDescriptor reading(ends[0]);
        FileDescriptor writing(ends[1]);
        if (::fcntl(writing.Get(), F_SETFL, O_NONBLOCK) != 0)
            return false;
        HostRun run;
        run.argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-f", "s16le", "-ar",
            std::to_string(rate), "-ac", "2", "-i", "pipe:0"};
        run.argv.insert(run.argv.end(), sound->words.begin(), sound->words.end());
        run.argv.insert(run.argv.end(), {"-f", container});
        asked = run.argv;
        run.argv.push_back(LaneFile());
        run.input = reading.Get();
        run.watch = {LaneFile()};
        encoder = std::make_unique<HostStarted>(std::move(run), LaneOutput(), LaneErrors());
        if (!encoder->Started())
            return false;
        sampleRate = rate;
        feeder = std::make_unique<SampleFeeder>(std::move(writing));
        return true;
    }

    // Hands over `piece`; false when it does not fit the lane.
    bool Feed(const AssemblyPiece& piece, const RunCancel& cancel)
    {
        const PieceFacts& facts = piece.facts;
        const std::string samples = SoundBeside(piece.path);
        if (facts.sampleRate <= 0 || (sampleRate > 0 && facts.sampleRate != sampleRate))
            return false;
        if (!HostFileExists(samples) && !CopySamples(piece.path, samples, cancel))
            return false;
        if (HostFileSize(samples) != facts.samples * 4)
            return false;
        if (!encoder && !Start(facts.sampleRate))
            return false;
        feeder->Add(samples);
        fed.push_back(piece.path);
        return true;
    }

    // A piece written where nothing may be left beside it (a render's
    // first, at its output) has its samples copied out of it instead.
    static bool CopySamples(const std::string& piece, const std::string& samples, const RunCancel& cancel)
    {
        if (ReadsInProcess() && LibraryCopySamples(piece, samples, cancel))
            return true;
        HostRun run;
        run.argv = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i", FileArgument(piece), "-map",
            "0:a:0", "-c:a", "copy", "-f", "s16le", samples};
        const HostResult result = RunHost(run, cancel);
        return result.outcome == HostOutcome::Finished && result.code == 0;
    }

    // Whether `pieces` begin with those fed, in order.
    bool GoesOnFrom(const std::vector<AssemblyPiece>& pieces) const
    {
        return pieces.size() >= fed.size()
            && std::equal(fed.begin(), fed.end(), pieces.begin(),
                [](const std::string& path, const AssemblyPiece& piece) { return path == piece.path; });
    }
    bool Holds(const std::vector<AssemblyPiece>& pieces) const
    {
        return pieces.size() == fed.size() && GoesOnFrom(pieces);
    }
};

// Everything that decides the compressed sound's bytes: the encoder, what
// it was asked, and the samples it was fed end to end (the encoder makes
// the same bytes of the same samples every time). None when a sample file
// cannot be read.
std::optional<std::string> KeptSoundKey(const Lane& lane)
{
    std::vector<std::string> samples;
    for (const std::string& piece : lane.fed)
        samples.push_back(SoundBeside(piece));
    const std::optional<std::string> hash = ContentHashOf(samples);
    if (!hash)
        return std::nullopt;
    std::string key = "sound 1\nencoder " + EncoderIdentity() + "\nsamples " + *hash + "\nargv";
    for (const std::string& word : lane.asked)
        key += "\n" + word;
    return key;
}

constexpr const char* kKeptSound = "sound";

// The sound an earlier render compressed of the same samples, put where the
// lane's encoder writes, which is stopped; false when none was taken whole
// (the encoder then goes on, unless it was stopped already).
bool TakeKeptSound(Lane& lane, const CacheStore& memory, const std::string& key)
{
    const std::string kept = TemporaryHostFile("__CWSoundLane.kept");
    if (!memory.Take(key, {{kKeptSound, kept}}))
        return false;
    lane.feeder.reset();
    lane.encoder.reset();
    if (::rename(kept.c_str(), LaneFile().c_str()) == 0)
        return true;
    ::unlink(kept.c_str());
    return false;
}

std::mutex& LaneMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::optional<Lane>& TheLane()
{
    static std::optional<Lane> lane;
    return lane;
}

void RemoveLaneFiles()
{
    for (const std::string& file : {LaneFile(), LaneErrors(), LaneOutput()})
        ::unlink(file.c_str());
}

// The lane of this thread's render, taken out of the shared place; none
// when there is none or it is another thread's.
std::optional<Lane> TakeLane()
{
    const std::lock_guard<std::mutex> lock(LaneMutex());
    std::optional<Lane>& lane = TheLane();
    if (!lane || lane->owner != std::this_thread::get_id())
        return std::nullopt;
    std::optional<Lane> taken = std::move(lane);
    lane.reset();
    return taken;
}

} // namespace

const FinishSound* FinishSoundOf(const std::string& container)
{
    for (const FinishSound& row : FinishSounds())
        if (row.container == container)
            return &row;
    return nullptr;
}

void ExpectSoundLane(const std::string& container)
{
    EndSoundLane();
    const char* atEnd = std::getenv("CLIPWEAVER_SOUND_AT_END");
    if ((atEnd && *atEnd && std::string_view(atEnd) != "0") || !FinishSoundOf(container))
        return;
    const std::lock_guard<std::mutex> lock(LaneMutex());
    TheLane().emplace();
    TheLane()->container = container;
}

void FeedSoundLane(const std::vector<AssemblyPiece>& pieces, const RunCancel& cancel)
{
    std::optional<Lane> lane = TakeLane();
    if (!lane)
        return;
    if (!lane->failed) {
        bool fits = lane->GoesOnFrom(pieces);
        for (std::size_t i = lane->fed.size(); fits && i < pieces.size(); ++i)
            fits = lane->Feed(pieces[i], cancel);
        if (!fits) {
            // The finish will compress the sound itself.
            lane->feeder.reset();
            lane->encoder.reset();
            lane->failed = true;
            RemoveLaneFiles();
        }
    }
    const std::lock_guard<std::mutex> lock(LaneMutex());
    TheLane() = std::move(lane);
}

std::optional<std::string> CompressedSound(const std::vector<AssemblyPiece>& pieces, const std::string& container,
                                           const RunCancel& cancel)
{
    std::optional<Lane> lane = TakeLane();
    if (!lane)
        return std::nullopt;
    if (lane->failed || lane->container != container || !lane->encoder || !lane->Holds(pieces)) {
        lane.reset();
        RemoveLaneFiles();
        return std::nullopt;
    }
    // With the store of pieces on, the sound of samples compressed before
    // is taken instead of waiting for the encoder: after a change that
    // leaves the sound as it was (a title, a picture's motion), compressing
    // it is most of a render again.
    const std::shared_ptr<const CacheStore> memory = RememberedIn();
    const std::optional<std::string> key = memory ? KeptSoundKey(*lane) : std::nullopt;
    if (key && TakeKeptSound(*lane, *memory, *key)) {
        lane.reset();
        ::unlink(LaneErrors().c_str());
        ::unlink(LaneOutput().c_str());
        kprintf("Reusing the compressed sound.\n");
        return LaneFile();
    }
    if (!lane->encoder) { // stopped for a kept sound that could not be put in place
        lane.reset();
        RemoveLaneFiles();
        return std::nullopt;
    }
    const bool fed = lane->feeder->Drain(cancel);
    lane->feeder.reset();
    const HostResult result = fed ? lane->encoder->Wait(cancel) : HostResult{};
    lane.reset();
    if (result.outcome != HostOutcome::Finished || result.code != 0 || HostFileSize(LaneFile()) <= 0) {
        if (fed && result.outcome != HostOutcome::Cancelled)
            kprintf("The sound compressed beside the encodes could not be used: %s.\n", result.error.c_str());
        RemoveLaneFiles();
        return std::nullopt;
    }
    ::unlink(LaneErrors().c_str());
    ::unlink(LaneOutput().c_str());
    kprintf("The sound was compressed beside the encodes.\n");
    if (key)
        memory->Keep(*key, {{kKeptSound, LaneFile()}});
    return LaneFile();
}

void EndSoundLane()
{
    std::optional<Lane> lane;
    {
        const std::lock_guard<std::mutex> lock(LaneMutex());
        if (TheLane() && TheLane()->owner != std::this_thread::get_id())
            return; // another thread's render
        lane = std::move(TheLane());
        TheLane().reset();
    }
    lane.reset();
    RemoveLaneFiles();
}

} // namespace cwtools

void CompressSoundAsJoined(std::string_view output) { cwtools::ExpectSoundLane(cwtools::ContainerForName(output)); }
