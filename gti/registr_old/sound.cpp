#include "gti/registr_old/sound.h"

#include "platform/os/file.h"
#include "platform/os/sound.h"

#include <mutex>

namespace {
bool valid(SoundType type) { return type >= snd_alarm && type <= snd_depth_label; }

std::mutex g_beep_mutex;
Sound::BeepFunction& beep_function() {
    static Sound::BeepFunction beep;
    return beep;
}
}  // namespace

void Sound::set_beep(BeepFunction beep) {
    std::lock_guard<std::mutex> hold(g_beep_mutex);
    beep_function() = std::move(beep);
}

void Sound::beep(int hz, int ms) {
    BeepFunction beep;
    {
        std::lock_guard<std::mutex> hold(g_beep_mutex);
        beep = beep_function();
    }
    if (beep) beep(hz, ms);
}

Sound::Sound(const AnsiString& program_folder) {
    AnsiString dir = program_folder;
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
    files_ = {dir + "sounds/alarm.wav", dir + "sounds/Свисток.wav", dir + "sounds/Свисток.wav",
              dir + "sounds/настройка приёмника.wav", dir + "sounds/BoingBoing.wav"};
}

void Sound::play_sound(SoundType type) {
    lib::Locker hold(&lock_);
    if (type == snd_stop) {
        stop_sound();
        return;
    }
    if (looping_ == snd_alarm || !valid(type)) return;
    os::sound_player()->play(os::native_path(file_of(type)), loops(type));
    looping_ = loops(type) ? type : snd_stop;
}

void Sound::stop_sound() {
    lib::Locker hold(&lock_);
    os::sound_player()->stop();
    looping_ = snd_stop;
}

void Sound::play_file(const AnsiString& file) { os::sound_player()->play(os::native_path(file), false); }

AnsiString Sound::get_sound_file(SoundType type) {
    lib::Locker hold(&lock_);
    return valid(type) ? file_of(type) : AnsiString();
}

void Sound::set_sound_file(SoundType type, const AnsiString& file) {
    lib::Locker hold(&lock_);
    if (valid(type)) file_of(type) = file;
}

SoundType Sound::get_looping() {
    lib::Locker hold(&lock_);
    return looping_;
}

void Sound::enum_values(lib::options_list& l) {
    using lib::options_detailed::meta_class;
    l.sector("Sound", "Звуки");
    // Each default is the file the member holds now, so a reset keeps it.
    auto add = [&](SoundType type, const char* key, const char* caption) {
        AnsiString& file = file_of(type);
        l.add(new meta_class<std::string>(file, file.c_str(), key, caption));
    };
    add(snd_alarm, "alarm_sound", "Сигнализация");
    add(snd_notify, "notify_sound", "Короткое оповещение");
    add(snd_short_notify, "short_notify_sound", "Длительное оповещение");
    add(snd_depth_label, "depth_label", "Оповещение о приходе метки");
}
