#pragma once
// Sound: the station's alarm and notification sounds, played from WAV files
// through the process's sound player (os::sound_player()). One sound plays
// at a time. The alarm loops and is never interrupted by another sound,
// only stopped; the other loops are replaced by the next sound.
//
// The four configurable files are options (sector "Sound") of the module
// "Sound" of the hub's module list.

#include "library/lock_object.h"
#include "library/options/options.h"
#include "library/serial/module_list.h"

#include <array>
#include <functional>
#include <string>

using AnsiString = std::string;

enum SoundType : int {
    snd_stop = 0,
    snd_alarm = 1,         // loops
    snd_notify = 2,        // loops
    snd_short_notify = 3,  // once
    snd_tuning = 4,        // receiver tuning, loops
    snd_depth_label = 5,   // arrival of a depth label, once
};

class Sound : public lib::OptModule {
public:
    // The default files lie in the "sounds" folder of program_folder.
    explicit Sound(const AnsiString& program_folder);

    void play_sound(SoundType type);
    void stop_sound();
    // Once, whatever loops; takes no lock and leaves the looping type alone.
    void play_file(const AnsiString& file);

    // Types 1 to 5; any other type reads empty and sets nothing.
    AnsiString get_sound_file(SoundType type);
    void set_sound_file(SoundType type, const AnsiString& file);
    // The type now looping, 0 when none.
    SoundType get_looping();

    void enum_values(lib::options_list& list) override;

    // The speaker's short tones (frequency in Hz, length in ms) of the hub
    // and its plug-ins, such as the console's alarm: they go through this
    // one process-wide hook, which the host points at its sound. Silent
    // until it is set. Safe from any thread.
    using BeepFunction = std::function<void(int hz, int ms)>;
    static void set_beep(BeepFunction beep);
    static void beep(int hz, int ms);

private:
    static bool loops(SoundType type) { return type == snd_alarm || type == snd_notify || type == snd_tuning; }
    AnsiString& file_of(SoundType type) { return files_[static_cast<std::size_t>(type - 1)]; }

    lib::lock_object lock_;
    SoundType looping_ = snd_stop;
    std::array<AnsiString, 5> files_;
};
