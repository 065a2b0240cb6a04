#include "platform/os/sound.h"

#include "platform/os/error_log.h"
#include "platform/os/testing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A stand-in player: a script that notes each start (its pid and file) in a
// log and then sleeps for the given seconds or exits with a code.
std::string make_player(const os::testing::TempDir& dir, const std::string& tail) {
    std::string path = dir / "player.sh";
    std::ofstream(path) << "#!/bin/sh\necho \"$$ $*\" >> '" << (dir / "log") << "'\n" << tail << "\n";
    ::chmod(path.c_str(), 0755);
    return path;
}

std::vector<std::string> log_lines(const os::testing::TempDir& dir) {
    std::ifstream in(dir / "log");
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

bool wait_for(const std::function<bool()>& cond, std::chrono::milliseconds limit = 60000ms) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (cond()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return cond();
}

bool alive(pid_t pid) { return ::kill(pid, 0) == 0; }

struct ErrorCapture {
    std::mutex mutex;
    std::vector<std::string> lines;
    ErrorCapture() {
        os::set_error_sink([this](std::string_view m) {
            std::lock_guard<std::mutex> hold(mutex);
            lines.emplace_back(m);
        });
    }
    ~ErrorCapture() { os::set_error_sink({}); }
    std::size_t count() {
        std::lock_guard<std::mutex> hold(mutex);
        return lines.size();
    }
};

TEST(ProgramSoundPlayer, PlaysOnceOrLoopsUntilStopped) {
    os::testing::TempDir dir;
    os::ProgramSoundPlayer player(make_player(dir, "exit 0"), {"-q"});
    player.play("/x/one.wav", false);
    // Once the player is idle it starts nothing more by itself.
    ASSERT_TRUE(wait_for([&] { return player.idle(); })) << "a sound played once goes on";
    ASSERT_EQ(log_lines(dir).size(), 1u);
    EXPECT_NE(log_lines(dir)[0].find(" -q /x/one.wav"), std::string::npos);

    player.play("/x/loop.wav", true);
    ASSERT_TRUE(wait_for([&] { return log_lines(dir).size() >= 4; }));
    EXPECT_FALSE(player.idle());
    player.stop();
    EXPECT_TRUE(wait_for([&] { return player.idle(); })) << "the loop goes on after the stop";
}

TEST(ProgramSoundPlayer, ANewSoundEndsThePlayingOne) {
    os::testing::TempDir dir;
    os::ProgramSoundPlayer player(make_player(dir, "exec sleep 30"), {});
    player.play("first.wav", false);
    ASSERT_TRUE(wait_for([&] { return log_lines(dir).size() == 1; }));
    pid_t first = std::stoi(log_lines(dir)[0]);
    player.play("second.wav", false);
    ASSERT_TRUE(wait_for([&] { return log_lines(dir).size() == 2; }));
    EXPECT_TRUE(wait_for([&] { return !alive(first); }));
    pid_t second = std::stoi(log_lines(dir)[1]);
    player.stop();
    EXPECT_TRUE(wait_for([&] { return !alive(second); }));
}

TEST(ProgramSoundPlayer, AMissingPlayerIsLoggedOnceAndNeverFatal) {
    ErrorCapture errors;
    os::testing::TempDir dir;
    os::ProgramSoundPlayer player(dir / "no-such-player", {});
    player.play("a.wav", true);
    ASSERT_TRUE(wait_for([&] { return errors.count() == 1; }));
    player.play("b.wav", false);
    ASSERT_TRUE(wait_for([&] { return player.idle(); }));
    EXPECT_EQ(errors.count(), 1u);
    EXPECT_NE(errors.lines[0].find("no-such-player"), std::string::npos);
}

TEST(ProgramSoundPlayer, ALoopThatCannotPlayIsNotRestarted) {
    ErrorCapture errors;
    os::testing::TempDir dir;
    os::ProgramSoundPlayer player(make_player(dir, "exit 3"), {});
    player.play("broken.wav", true);
    ASSERT_TRUE(wait_for([&] { return errors.count() == 1; }));
    EXPECT_TRUE(wait_for([&] { return player.idle(); })) << "the failed loop goes on";
    EXPECT_EQ(log_lines(dir).size(), 1u);
    EXPECT_NE(errors.lines[0].find("broken.wav"), std::string::npos);
    EXPECT_NE(errors.lines[0].find("exit code 3"), std::string::npos);
}

TEST(SoundPlayer, TheProcessPlayerCanBeReplacedByARecorder) {
    auto recorder = std::make_shared<os::RecordingSoundPlayer>();
    os::set_sound_player(recorder);
    os::sound_player()->play("x.wav", true);
    os::sound_player()->stop();
    using Call = os::RecordingSoundPlayer::Call;
    EXPECT_EQ(recorder->calls(), (std::vector<Call>{{"x.wav", true}, {"", false}}));
    os::set_sound_player(nullptr);
    EXPECT_EQ(dynamic_cast<os::RecordingSoundPlayer*>(os::sound_player().get()), nullptr);
}

}  // namespace
