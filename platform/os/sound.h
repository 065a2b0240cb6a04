#pragma once
// Sound playback. The station plays WAV files for its alarms and notices,
// one sound at a time: a new sound replaces the one playing, and a looping
// sound repeats until it is stopped or replaced.
//
// The process has one player, sound_player(). By default it is the system
// player: "aplay" looked up in PATH and started as a child process (never
// through a shell), one child per play. A machine without a player still
// records: the first play that finds no player is logged through
// os::log_error and every sound is then skipped. Tests put a
// RecordingSoundPlayer in its place.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace os {

class SoundPlayer {
public:
    virtual ~SoundPlayer();
    // Starts the file and returns at once; whatever played before stops.
    // With loop the file repeats until stop() or the next play().
    virtual void play(const std::string& file, bool loop) = 0;
    // Stops whatever plays; nothing when silent.
    virtual void stop() = 0;
};

// Plays through an external program given the file name as its last
// argument ("aplay -q file" by default). A file the program cannot play is
// logged, and a looping sound that fails is not restarted.
class ProgramSoundPlayer : public SoundPlayer {
public:
    // program: a bare name is looked up in PATH; args go before the file.
    explicit ProgramSoundPlayer(std::string program = "aplay", std::vector<std::string> args = {"-q"});
    // Stops the sound and ends the player's thread.
    ~ProgramSoundPlayer() override;
    ProgramSoundPlayer(const ProgramSoundPlayer&) = delete;
    ProgramSoundPlayer& operator=(const ProgramSoundPlayer&) = delete;

    void play(const std::string& file, bool loop) override;
    void stop() override;
    // True when no sound plays and none waits to start: a sound played
    // once has ended, a stopped one is gone.
    bool idle() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

// Remembers every call, for tests.
class RecordingSoundPlayer : public SoundPlayer {
public:
    struct Call {
        std::string file;  // empty for stop()
        bool loop = false;
        bool operator==(const Call&) const = default;
    };
    void play(const std::string& file, bool loop) override;
    void stop() override;
    std::vector<Call> calls() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
};

// The process-wide player; set_sound_player(nullptr) restores the system one.
std::shared_ptr<SoundPlayer> sound_player();
void set_sound_player(std::shared_ptr<SoundPlayer> player);

// A plain tone (the speaker's beep) through the process's player: a WAV of
// that frequency and length, made once in the run-time folder and played.
// A frequency outside 20..20000 Hz or a length outside 1..10000 ms plays
// nothing; a tone that cannot be made is logged through os::log_error.
void play_tone(int hz, int ms);
// The name of the WAV play_tone plays for that tone.
std::string tone_file(int hz, int ms);

}  // namespace os
