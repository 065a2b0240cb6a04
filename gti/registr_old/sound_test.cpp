#include "gti/registr_old/sound.h"

#include "platform/os/sound.h"

#include <gtest/gtest.h>

namespace {

using Call = os::RecordingSoundPlayer::Call;

struct Recorder {
    std::shared_ptr<os::RecordingSoundPlayer> player = std::make_shared<os::RecordingSoundPlayer>();
    Recorder() { os::set_sound_player(player); }
    ~Recorder() { os::set_sound_player(nullptr); }
};

TEST(Sound, TheAlarmIsOnlyEverStopped) {
    Recorder rec;
    Sound sound("/opt/station");
    const std::string alarm = "/opt/station/sounds/alarm.wav";
    const std::string whistle = "/opt/station/sounds/Свисток.wav";

    sound.play_sound(snd_alarm);
    sound.play_sound(snd_notify);  // the alarm goes on
    sound.play_sound(snd_depth_label);
    EXPECT_EQ(sound.get_looping(), snd_alarm);
    sound.play_sound(snd_stop);
    EXPECT_EQ(sound.get_looping(), snd_stop);
    sound.play_sound(snd_notify);
    EXPECT_EQ(sound.get_looping(), snd_notify);
    sound.play_sound(snd_short_notify);  // replaces the loop, plays once
    EXPECT_EQ(sound.get_looping(), snd_stop);
    sound.play_file("/tmp/x.wav");
    EXPECT_EQ(
        rec.player->calls(),
        (std::vector<Call>{{alarm, true}, {"", false}, {whistle, true}, {whistle, false}, {"/tmp/x.wav", false}}));
}

TEST(Sound, FilesOfTheFiveTypes) {
    Recorder rec;
    Sound sound("/opt/station/");
    EXPECT_EQ(sound.get_sound_file(snd_tuning), "/opt/station/sounds/настройка приёмника.wav");
    EXPECT_EQ(sound.get_sound_file(snd_depth_label), "/opt/station/sounds/BoingBoing.wav");
    EXPECT_EQ(sound.get_sound_file(SoundType(6)), "");
    EXPECT_EQ(sound.get_sound_file(snd_stop), "");
    sound.set_sound_file(SoundType(6), "x");
    sound.set_sound_file(snd_tuning, "C:\\sounds\\t.wav");
    sound.play_sound(snd_tuning);
    EXPECT_EQ(rec.player->calls(), (std::vector<Call>{{"C:/sounds/t.wav", true}}));

    // Four options; a reset keeps the files the members hold.
    lib::options_list l;
    sound.enum_values(l);
    ASSERT_EQ(l.size(), 4);
    EXPECT_EQ(l.get_item(1)->get_full_name(), "Sound.notify_sound");
    EXPECT_EQ(l.get_item(3)->get_display_name(), "Оповещение о приходе метки");
    sound.set_sound_file(snd_alarm, "/a.wav");
    sound.set_defaults();
    EXPECT_EQ(sound.get_sound_file(snd_alarm), "/a.wav");
}

}  // namespace
