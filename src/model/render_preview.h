// A project rendered for the player: the render's own lines (each
// crouton's encode, the joins, the soundtrack step and the finish), run in
// the background into a file on T:, so that a preview shows fades, titles,
// pan and zoom, transitions and the sound under the soundtrack exactly as
// the render will make them. It touches nothing of the render's own: no
// output, no note, no kept old file; only names of T: of its own.
#pragma once

#include "model/project.h"
#include "os/dos.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// Whether a project needs rendering to be previewed: some crouton's look or
// the project's is not the plain one (fades, titles, pan and zoom,
// transitions, volume, sound under the soundtrack). A plain project plays
// from its sources.
bool PreviewNeedsRender(const Project& project);

class PreviewRender {
public:
    // Plans every line now, on the program's thread (from the project and
    // the main window's fields, as the render does), and runs them on a
    // thread of its own. `wake` is called from that thread whenever the
    // progress moves on by a percent and when it has ended; it may be empty.
    PreviewRender(Project& project, std::function<void()> wake);
    // Ends the tools that still run and waits for them.
    ~PreviewRender();
    PreviewRender(const PreviewRender&) = delete;
    PreviewRender& operator=(const PreviewRender&) = delete;

    bool Done() const { return done_.load(); }
    // How far it has come, 0 to 1.
    double Progress() const { return progress_.load(); }
    // Waits until it has ended (the script driver, tests).
    void Wait();
    // Once done: why there is no preview, in plain words; empty when the
    // file was made.
    const std::string& Problem() const { return problem_; }
    // The host path of the preview, once made.
    const std::string& File() const { return file_; }
    // Where each crouton begins in the preview (seconds), with the project
    // position of each: the pieces' lengths less the joins' overlaps.
    const std::vector<double>& Starts() const { return starts_; }
    const std::vector<int>& Positions() const { return positions_; }
    double Length() const { return length_; }

    struct Plan;

private:
    class Steps;

    void Run();
    bool Encode();
    bool RunStep(const std::string& command, const TemporaryLane& lane, double from, double to);
    bool JoinToPreview(const char* piece, const TemporaryLane& lane);
    bool TakeTransition(std::size_t index);
    void Moved(double progress);

    std::unique_ptr<Plan> plan_;
    std::function<void()> wake_;
    std::string problem_;
    std::string file_;
    std::vector<double> starts_;
    std::vector<int> positions_;
    double length_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
    std::atomic<double> progress_{0.0};
    std::thread thread_;
};
