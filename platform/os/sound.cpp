#include "platform/os/sound.h"

#include "platform/os/error_log.h"
#include "platform/os/file.h"
#include "platform/os/paths.h"
#include "platform/os/process.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <condition_variable>
#include <thread>

namespace os {

SoundPlayer::~SoundPlayer() = default;

// The player's thread owns the child process; play() and stop() only leave
// a request and return, so a caller on the recording cycle never waits for
// a process to start or die.
struct ProgramSoundPlayer::State {
    std::string program;
    std::vector<std::string> args;

    std::mutex mutex;
    std::condition_variable wake;
    bool pending = false;
    bool playing = false;  // the thread is in play_one
    std::string file;
    bool loop = false;
    bool quit = false;
    std::atomic<unsigned> generation{0};
    bool missing_logged = false;
    std::thread thread;

    void run();
    void play_one(const std::string& file, bool loop, unsigned generation);
};

void ProgramSoundPlayer::State::run() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [&] { return quit || pending; });
        if (quit) return;
        pending = false;
        playing = true;
        std::string f = file;
        bool l = loop;
        unsigned g = generation.load();
        lock.unlock();
        play_one(f, l, g);
        lock.lock();
        playing = false;
    }
}

void ProgramSoundPlayer::State::play_one(const std::string& f, bool l, unsigned g) {
    auto current = [&] { return generation.load() == g; };
    while (current()) {
        Process child;
        SpawnOptions options;
        options.program = program;
        options.args = args;
        options.args.push_back(f);
        options.search_path = true;
        options.null_stdio = true;
        std::string error;
        if (!child.start(options, &error)) {
            std::lock_guard<std::mutex> hold(mutex);
            if (!missing_logged) {
                missing_logged = true;
                log_error("sound: the player '" + program + "' cannot be started (" + error +
                          "); sounds are not played");
            }
            return;
        }
        std::optional<int> code;
        while (current() && !(code = child.wait(50))) {}
        if (!code) {
            child.kill();  // replaced or stopped
            return;
        }
        if (*code != 0) {
            // A looping sound that cannot play must not respawn forever.
            log_error("sound: '" + program + "' could not play '" + f + "' (exit code " + std::to_string(*code) + ")");
            return;
        }
        if (!l) return;
    }
}

ProgramSoundPlayer::ProgramSoundPlayer(std::string program, std::vector<std::string> args)
    : state_(std::make_shared<State>()) {
    state_->program = std::move(program);
    state_->args = std::move(args);
}

ProgramSoundPlayer::~ProgramSoundPlayer() {
    {
        std::lock_guard<std::mutex> hold(state_->mutex);
        state_->quit = true;
        ++state_->generation;
    }
    state_->wake.notify_all();
    if (state_->thread.joinable()) state_->thread.join();
}

void ProgramSoundPlayer::play(const std::string& file, bool loop) {
    {
        std::lock_guard<std::mutex> hold(state_->mutex);
        if (state_->quit) return;
        ++state_->generation;
        state_->file = file;
        state_->loop = loop;
        state_->pending = true;
        if (!state_->thread.joinable()) {
            auto* s = state_.get();
            state_->thread = std::thread([s] { s->run(); });
        }
    }
    state_->wake.notify_all();
}

void ProgramSoundPlayer::stop() {
    std::lock_guard<std::mutex> hold(state_->mutex);
    ++state_->generation;
    state_->pending = false;
}

bool ProgramSoundPlayer::idle() const {
    std::lock_guard<std::mutex> hold(state_->mutex);
    return !state_->pending && !state_->playing;
}

void RecordingSoundPlayer::play(const std::string& file, bool loop) {
    std::lock_guard<std::mutex> hold(mutex_);
    calls_.push_back({file, loop});
}

void RecordingSoundPlayer::stop() {
    std::lock_guard<std::mutex> hold(mutex_);
    calls_.push_back({});
}

std::vector<RecordingSoundPlayer::Call> RecordingSoundPlayer::calls() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return calls_;
}

void RecordingSoundPlayer::clear() {
    std::lock_guard<std::mutex> hold(mutex_);
    calls_.clear();
}

namespace {
std::mutex g_player_mutex;
std::shared_ptr<SoundPlayer> g_player;
}  // namespace

std::shared_ptr<SoundPlayer> sound_player() {
    std::lock_guard<std::mutex> hold(g_player_mutex);
    if (!g_player) g_player = std::make_shared<ProgramSoundPlayer>();
    return g_player;
}

void set_sound_player(std::shared_ptr<SoundPlayer> player) {
    std::shared_ptr<SoundPlayer> old;
    {
        std::lock_guard<std::mutex> hold(g_player_mutex);
        old = std::move(g_player);
        g_player = std::move(player);
    }
    // The old player (and its child) ends outside the lock.
}

namespace {

constexpr int tone_rate = 16000;  // samples a second: well above the highest tone's two

void put_le(std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// 16-bit mono PCM, the sine at half the full scale.
std::string tone_wav(int hz, int ms) {
    const std::uint32_t samples = std::uint32_t(std::int64_t(tone_rate) * ms / 1000);
    std::string out;
    out.reserve(44 + 2 * samples);
    out += "RIFF";
    put_le(out, 36 + 2 * samples, 4);
    out += "WAVEfmt ";
    put_le(out, 16, 4);
    put_le(out, 1, 2);  // PCM
    put_le(out, 1, 2);  // mono
    put_le(out, tone_rate, 4);
    put_le(out, tone_rate * 2, 4);
    put_le(out, 2, 2);
    put_le(out, 16, 2);
    out += "data";
    put_le(out, 2 * samples, 4);
    const double step = 2 * M_PI * hz / tone_rate;
    for (std::uint32_t i = 0; i < samples; ++i) {
        const auto v = static_cast<std::int16_t>(std::lround(16383.0 * std::sin(step * i)));
        put_le(out, static_cast<std::uint16_t>(v), 2);
    }
    return out;
}

}  // namespace

std::string tone_file(int hz, int ms) {
    return runtime_dir() + "/tone_" + std::to_string(hz) + "_" + std::to_string(ms) + ".wav";
}

void play_tone(int hz, int ms) {
    if (hz < 20 || hz > 20000 || ms < 1 || ms > 10000) return;
    std::string file;
    try {
        file = tone_file(hz, ms);
    } catch (const std::exception& e) {
        log_error(std::string("os::play_tone: ") + e.what());
        return;
    }
    // Made once: the same alarm beeps every second while it lasts.
    const std::string wanted = tone_wav(hz, ms);
    std::string bytes;
    if (read_file(file, bytes, nullptr, wanted.size() + 1) != 0 || bytes != wanted) {
        if (const int err = replace_file(file, wanted); err != 0) {
            log_error("os::play_tone: cannot write '" + file + "': " + std::strerror(err));
            return;
        }
    }
    sound_player()->play(file, false);
}

}  // namespace os
