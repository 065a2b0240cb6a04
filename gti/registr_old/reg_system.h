#pragma once
// reg::System: the one root object of the recording hub, reached through
// sys(). It creates and owns every component that lives as long as the
// process, registers the persistent ones as named modules and saves and
// loads them together as "sys.bin", marks the start and end of recording a
// trip, and fires the per-frame notification.
//
// "sys.bin" in a folder the host names:
//   int32 1030 (the registry's version, little-endian), then the module
//   stream of the module list, which begins with its own 1030:
//   06 04 00 00 06 04 00 00 <count> <records...>
// It is written to a temporary file that is synced and renamed over the
// old one, so a crash or a full disk never leaves half a state behind.
//
// Construction reads no file, registers no module and loads no plug-in: the
// host calls register_modules(), the plug-in loading and load_from_file()
// as it needs. No component reaches sys() while the root is being built:
// each is handed what it needs.

#include "gti/registr_old/sys_lock.h"
#include "library/lock_object.h"
#include "library/mess_caller.h"
#include "library/options/ini_options.h"
#include "library/serial/module_list.h"
#include "platform/os/file.h"

#include <boost/signals2/connection.hpp>
#include <boost/signals2/signal.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

using AnsiString = std::string;

class Config;
struct GlobalNums;
class DataStorage;
class RaceTotal;
class NasosWork;
class ObTrub;
class VEmkOpts;
class Operations;
class RealTimeHub;
namespace candles {
class CandleCounter;
}
namespace instr {
class Items;
}
namespace pore {
class PoreOpt;
}
namespace calc {
class CalcValues;
}
namespace text {
class Storage;
}
namespace vf {
class ViewFile;
struct Sample;
}  // namespace vf
class ErrLog;
class RegistrLogOld;
class Sound;
class Values;
class CommProtocols;
namespace hardware {
class HubAccess;
}
struct HostData;
namespace formula {
class Calculator;
}

namespace reg {

class System;
class RegPluginManager;

// Rewrites "data/kvb.dat" in the program folder on every new frame: five
// little-endian floats (bottom-hole depth, bit depth, and the current
// "вес_на_крюке", "тальблок" and "давление_на_входе"), under the named lock
// "kvb.dat" that a reader in another program takes too.
class KarVoVrBur {
public:
    explicit KarVoVrBur(System* sys);
    // Skipped silently when the file cannot be opened.
    void write_snapshot();

private:
    System* sys_;
    lib::lock_object lock_;
    // The snapshot file stays open from one frame to the next, and is
    // opened again once its name leads elsewhere.
    os::File file_;
    std::string file_path_;
    std::uint64_t device_ = 0, inode_ = 0;
    boost::signals2::scoped_connection connection_;
};

// Window and start-up settings the host keeps in an INI file of its own.
class GlobalIni : public lib::ini_options {
public:
    void get_elements_list(lib::ini_options_elements& list) override;

    lib::lock_object lock;
    AnsiString last_screen_name;
    AnsiString well;  // "скважина"
    bool first_start = true;
    bool show_instr_depth = true;
    bool show_digit_values = false;
    // -1: not stored yet.
    int win_left = -1;
    int win_top = -1;
    int win_height = -1;
    int win_width = -1;
    int top_panel_type = 0;
    bool show_relay_panel = false;
    double pult_adc_voltage = 2.5;
};

class System {
public:
    static constexpr int sys_file_version = lib::ModuleList::default_version;

    // exe_folder: the program's folder (sys() passes os::program_dir()).
    explicit System(const AnsiString& exe_folder);
    ~System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    void register_modules();
    void fill_values_list();

    // "sys.bin" in the folder. Failures never leave these: they go to the
    // error log, and a load keeps what the modules read before the failure.
    void save_to_file(const AnsiString& folder);
    void load_from_file(const AnsiString& folder);
    // Copies the state of another root through a memory stream.
    void assign(System& other);

    // Start of recording a trip: sets "race_num"; with load, reloads
    // "sys.bin" from the folder keeping the current depths; else starts
    // fresh totals. After: recording active.
    void before_work(int race_num, bool load, const AnsiString& folder);
    // End of recording; "sys.bin" is saved by the host's own call.
    void after_work(const AnsiString& folder);
    // The new-frame notification.
    void on_data();

    // The program folder, with its trailing "/".
    const AnsiString& get_exe_path() const { return exe_path_; }
    bool get_reg_active() const { return reg_active_; }
    void fill_host_data(HostData& data);
    void fill_cur_files_list();
    const std::set<AnsiString>& get_cur_files() const { return cur_files_; }

    Config& get_config() { return *config_; }
    GlobalNums& get_global_nums() { return *global_nums_; }
    DataStorage& get_data_storage() { return *data_storage_; }
    pore::PoreOpt& get_pore() { return *pore_; }
    calc::CalcValues& get_calc_values() { return *calc_values_; }
    // The parts of the well data and of the drilling calculations.
    RaceTotal& get_race_total();
    candles::CandleCounter& get_candle_counter();
    NasosWork& get_nasos_work();
    ObTrub& get_ob_trub();
    VEmkOpts& get_tanks();
    instr::Items& get_instr_items();
    text::Storage& get_remarks() { return *remarks_; }
    ErrLog& get_err_log() { return *err_log_; }
    lib::ModuleList& get_module_list() { return *modules_; }
    Sound& get_sound() { return *sound_; }
    RegPluginManager& get_plugin_manager() { return *plugin_manager_; }
    vf::ViewFile& get_view_file() { return *view_file_; }
    Values& get_values() { return *values_; }
    RegistrLogOld& get_registr_log() { return *registr_log_; }
    GlobalIni& get_global_ini() { return *global_ini_; }
    formula::Calculator& get_calculator() { return *calculator_; }
    CommProtocols& get_protocols() { return *protocols_; }
    // What the protocols read of the hub.
    hardware::HubAccess& get_hub_access() { return *hub_access_; }
    Operations& get_operations() { return *operations_; }
    lib::MessCaller& get_mess_caller() { return mess_caller_; }

    // Set and called by the station host; nothing here calls them.
    std::function<void(const AnsiString&, bool)> host_callback1;
    std::function<void(const AnsiString&, const AnsiString&, std::int32_t)> host_callback2;
    // The first is the new-frame notification; the console plug-in
    // re-checks its parameters on the third. The host fires the others.
    boost::signals2::signal<void()> new_frame_signal;
    boost::signals2::signal<void()> host_signal2;
    boost::signals2::signal<void()> params_changed_signal;
    boost::signals2::signal<void()> host_signal4;

private:
    AnsiString sys_file(const AnsiString& folder) const;
    // One sample of the day view file from the current frame.
    void fill_view_sample(vf::Sample& sample);

    AnsiString exe_path_;
    bool reg_active_ = false;
    std::unique_ptr<Config> config_;
    std::unique_ptr<GlobalNums> global_nums_;
    std::unique_ptr<DataStorage> data_storage_;
    // The well data, with the drill string.
    std::unique_ptr<pore::PoreOpt> pore_;
    // The drilling calculations: trip totals, depth calculation, stand
    // counter, pumps and tanks.
    std::unique_ptr<calc::CalcValues> calc_values_;
    std::unique_ptr<text::Storage> remarks_;
    std::unique_ptr<ErrLog> err_log_;
    // The writer's view of the hub's services.
    std::unique_ptr<RealTimeHub> rt_hub_;
    std::unique_ptr<lib::ModuleList> modules_;
    std::unique_ptr<KarVoVrBur> snapshot_;
    // What the protocols read of the hub, and the protocols.
    std::unique_ptr<hardware::HubAccess> hub_access_;
    std::unique_ptr<CommProtocols> protocols_;
    std::unique_ptr<Sound> sound_;
    // Declared after the module list and the error log, so that the plug-ins
    // it frees on the way out still find them.
    std::unique_ptr<RegPluginManager> plugin_manager_;
    std::unique_ptr<vf::ViewFile> view_file_;
    std::unique_ptr<Values> values_;
    std::unique_ptr<RegistrLogOld> registr_log_;
    // The global settings, the formula evaluator and the operations table
    // are components of the root that nothing in the hub reads: they stay,
    // since the root is their one owner for the station's main program and
    // the plug-ins (get_global_ini, get_calculator, get_operations). Every
    // other member above is read by the hub itself.
    std::unique_ptr<GlobalIni> global_ini_;
    std::unique_ptr<formula::Calculator> calculator_;
    std::unique_ptr<Operations> operations_;
    // Modules registered on behalf of components that are not modules
    // themselves (the frame's parameter table).
    std::vector<std::unique_ptr<lib::ModuleBaseOld>> adapters_;
    std::set<AnsiString> cur_files_;
    lib::MessCaller mess_caller_;
};

}  // namespace reg

// The one root object, built on the first call. A call made while it is
// being built (a component reaching for the root from its constructor) is
// refused with std::logic_error instead of recursing; a construction that
// throws leaves nothing behind, and the next call tries again. The root is
// never destroyed: the host stops the writer and frees the plug-ins itself
// before it exits.
reg::System* sys();
