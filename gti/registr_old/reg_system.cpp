#include "gti/registr_old/reg_system.h"

#include "gti/registr_old/InstrPipes/instr_items.h"
#include "gti/registr_old/all_params.h"
#include "gti/registr_old/calc_values.h"
#include "gti/registr_old/candle_counter.h"
#include "gti/registr_old/comm_hub.h"
#include "gti/registr_old/comm_protocols.h"
#include "gti/registr_old/config.h"
#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/delayed_depth.h"
#include "gti/registr_old/err_log.h"
#include "gti/registr_old/formula.h"
#include "gti/registr_old/operations.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/param.h"
#include "gti/registr_old/pore_opt.h"
#include "gti/registr_old/pumps_tanks.h"
#include "gti/registr_old/race_total.h"
#include "gti/registr_old/real_time_file.h"
#include "gti/registr_old/reg_plugin_manager.h"
#include "gti/registr_old/registr_log.h"
#include "gti/registr_old/sound.h"
#include "gti/registr_old/text_storage.h"
#include "gti/registr_old/values.h"
#include "gti/registr_old/view_file.h"
#include "platform/os/file.h"
#include "platform/os/paths.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/stream.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

lib::lock_object* sys_lock_obj() {
    static auto* lock = new lib::lock_object();
    return lock;
}

lib::lock_object* file_lock_obj() {
    static auto* lock = new lib::lock_object();
    return lock;
}

namespace reg {

namespace {

// Puts a component that streams itself but is no module into the list.
template <class T>
class SerialAdapter : public virtual lib::ModuleBaseOld, public lib::SerialModuleBase {
public:
    explicit SerialAdapter(T& target) : target_(target) {}
    void get_serial_list(lib::serial_list& list, unsigned param) override { target_.get_serial_list(list, param); }
    void get_serial_name(AnsiString& name) override { target_.get_serial_name(name); }

private:
    T& target_;
};

void put_int32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(v >> (8 * i));
}

void put_float(char* p, double v) {
    float f = static_cast<float>(v);
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    put_int32(p, u);
}

AnsiString with_slash(AnsiString folder) {
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
    return folder;
}

}  // namespace

// ---- what the protocols read of the hub ----------------------------------

namespace {

// Reads the root's components when a packet is built, never while the root
// is being built.
class SystemHub : public hardware::HubAccess {
public:
    explicit SystemHub(System& root) : root_(root) {}

    void set_variable(const std::string& name, const std::string& text) override {
        root_.get_values().set_variable(name.c_str(), text);
    }
    std::string get_variable(const std::string& name) override { return root_.get_values().get_variable(name.c_str()); }
    double get_float_variable(const std::string& name) override {
        return root_.get_values().get_float_variable(name.c_str());
    }
    lib::lock_object& hub_lock() override { return *sys_lock_obj(); }

    double get_average(const std::string& param) override {
        lib::Locker hold(sys_lock_obj());
        return root_.get_data_storage()[param.c_str()];
    }
    bool get_failure(const std::string& param) override {
        lib::Locker hold(sys_lock_obj());
        return root_.get_data_storage().crush_flags[param] != 0;
    }
    double get_bottom_depth() override {
        lib::Locker hold(sys_lock_obj());
        return root_.get_data_storage().get_depth_z();
    }
    int get_operation() override {
        lib::Locker hold(sys_lock_obj());
        return root_.get_data_storage().get_operation();
    }

    double get_config_value(const std::string& option) override {
        lib::Locker hold(sys_lock_obj());
        lib::options_list list;
        root_.get_config().enum_values(list);
        double value = 0;
        list.for_each([&](const lib::MetaClassPointer& item) {
            if (item->get_ini_name() != option) return;
            if (auto* f = dynamic_cast<lib::options_detailed::getter_n_setter<double>*>(item.get()))
                value = f->get_value();
            else if (auto* i = dynamic_cast<lib::options_detailed::getter_n_setter<int>*>(item.get()))
                value = i->get_value();
        });
        return value;
    }
    int get_indicator_code(int indicator) override {
        lib::Locker hold(sys_lock_obj());
        if (indicator < 0 || indicator >= 8) return -1;
        return root_.get_config().pult_indicator.values[static_cast<std::size_t>(indicator)];
    }
    bool get_limit_max(const std::string& param, double& max) override {
        lib::Locker hold(sys_lock_obj());
        MinMaxValue* row = root_.get_config().get_min_max().find(param.c_str());
        if (!row) return false;
        max = row->get_max();
        return true;
    }
    bool get_calibration(const std::string& param, hardware::Calibration& out) override {
        lib::Locker hold(sys_lock_obj());
        const ParTabl& table = root_.get_data_storage().get_par_tabl();
        int i = table.find_global(param);
        if (i < 0) return false;
        Param p = table[i];
        out.gain = p.range;
        out.offset = p.zero;
        out.points.clear();
        for (const auto& point : p.points) out.points.emplace_back(point.x, point.y);
        return true;
    }

private:
    System& root_;
};

}  // namespace

// ---- what the real-time writer reads of the hub --------------------------

namespace {

class SystemRealTimeHub : public RealTimeHub {
public:
    explicit SystemRealTimeHub(System& root) : root_(root) {}

    void set_variable(const char* name, const AnsiString& value) override {
        root_.get_values().set_variable(name, value);
    }
    void log_error(const AnsiString& message) noexcept override { root_.get_err_log().add(message); }
    void trip_description(TripDescription& out) override {
        lib::Locker hold(sys_lock_obj());
        Config& cfg = root_.get_config();
        RaceInfoOld& race = cfg.get_race_info();
        out = TripDescription();
        const pore::Options& well = *root_.get_pore().get_options();
        out.oil_field = well.mestorozhdenie;
        out.well = well.nomer;
        out.well_category = well.kategoriya;
        out.area = well.ploshad;
        out.customer = well.zakazchik;
        out.drilling_unit = well.ubr;
        out.logging_party = well.partiya_gti;
        out.crew = well.otryad;
        out.pump = well.nasos;
        out.operator_name = well.operatory;
        out.foreman = well.master;
        out.pad = well.kust;
        out.well_diameter = well.well_diameter;
        out.race_number = cfg.nomer_dolbleniya;
        out.bit_number = race.bit_number;
        out.bit_type = race.bit_type;
        out.motor_size = race.motor_type;
        out.depth_step = cfg.depth_step;
        out.time_step = cfg.time_step;
        out.assembly = race.bha;
    }

private:
    System& root_;
};

}  // namespace

// ---- snapshot --------------------------------------------------------------

KarVoVrBur::KarVoVrBur(System* sys)
    : sys_(sys), lock_("kvb.dat"), connection_(sys->new_frame_signal.connect([this] { write_snapshot(); })) {}

void KarVoVrBur::write_snapshot() {
    DataStorage& ds = sys_->get_data_storage();
    auto& cur = ds.current_values;
    char bytes[20];
    put_float(bytes, ds.get_depth_z());
    put_float(bytes + 4, ds.get_depth_cur());
    put_float(bytes + 8, cur["вес_на_крюке"]);
    put_float(bytes + 12, cur["тальблок"]);
    put_float(bytes + 16, cur["давление_на_входе"]);

    lib::Locker hold(&lock_);
    std::string path = os::native_path(sys_->get_exe_path() + "data/kvb.dat");
    // Rewritten in place every frame: readers poll it, and a sync a frame
    // would cost the disk more than a torn 20-byte snapshot costs them.
    // The bytes go over the old ones rather than into an emptied file:
    // emptying frees the file's block and makes the close write it back at
    // once, and a reader could find the file empty. The file stays open
    // while its name leads to it, so that a frame costs a look at the name
    // and a write instead of an open and a close: a waiting station spends
    // most of its time on such calls.
    const os::FileInfo named = os::file_info(path);
    std::int64_t size = named.size;
    if (!file_.is_open() || !named.exists || named.device != device_ || named.inode != inode_ || path != file_path_) {
        file_.close();
        os::OpenOptions options;
        options.share_rule = false;
        options.permissions = 0644;
        if (file_.open(path, os::File::Mode::read_write, options) != os::File::Status::ok) return;
        const os::FileInfo opened = file_.info();
        device_ = opened.device;
        inode_ = opened.inode;
        size = opened.size;
        file_path_ = path;
    }
    if (!file_.write_at(0, bytes, sizeof bytes)) {
        file_.close();
        return;
    }
    if (size > static_cast<std::int64_t>(sizeof bytes)) (void)file_.truncate(sizeof bytes);
}

// ---- global settings -------------------------------------------------------

void GlobalIni::get_elements_list(lib::ini_options_elements& l) {
    const char* s = "текущие_настройки";
    l.add(last_screen_name, s, "last_screen_name");
    l.add(well, s, "скважина");
    l.add(first_start, s, "first_start");
    l.add(show_instr_depth, s, "show_instr_depth");
    s = "MainWindow";
    l.add(show_digit_values, s, "show_digit_values");
    l.add(win_left, s, "win_left");
    l.add(win_top, s, "win_top");
    l.add(win_height, s, "win_height");
    l.add(win_width, s, "win_width");
    l.add(top_panel_type, s, "top_panel_type");
    l.add(show_relay_panel, s, "show_relay_panel");
    s = "пульт_бурильщика";
    l.add(pult_adc_voltage, s, "pult_adc_voltage");
}

// ---- the root --------------------------------------------------------------

System::System(const AnsiString& exe_folder) : exe_path_(with_slash(exe_folder)) {
    config_ = std::make_unique<Config>();
    global_nums_ = std::make_unique<GlobalNums>();
    data_storage_ = std::make_unique<DataStorage>();
    pore_ = std::make_unique<pore::PoreOpt>();
    calc_values_ = std::make_unique<calc::CalcValues>();
    remarks_ = std::make_unique<text::Storage>(0);
    err_log_ = std::make_unique<ErrLog>();
    rt_hub_ = std::make_unique<SystemRealTimeHub>(*this);
    modules_ = std::make_unique<lib::ModuleList>();
    hub_access_ = std::make_unique<SystemHub>(*this);
    protocols_ = std::make_unique<CommProtocols>(hub_access_.get());
    sound_ = std::make_unique<Sound>(exe_path_);
    plugin_manager_ = std::make_unique<RegPluginManager>(this);
    view_file_ = std::make_unique<vf::ViewFile>();
    values_ = std::make_unique<Values>(data_storage_.get());
    // The log reads the trip number under the hub lock, never inside its own.
    registr_log_ = std::make_unique<RegistrLogOld>([config = config_.get()] {
        lib::Locker hold(sys_lock_obj());
        return config->nomer_dolbleniya;
    });
    global_ini_ = std::make_unique<GlobalIni>();
    calculator_ = std::make_unique<formula::Calculator>();
    operations_ = std::make_unique<Operations>();

    config_->attach(data_storage_.get(), values_.get());
    get_race_total().set_frame(data_storage_.get());
    calc_values_->attach({config_.get(), global_nums_.get(), err_log_.get(), pore_->get_instr()});
    data_storage_->set_mess_caller(&mess_caller_);
    data_storage_->get_real_time_file().set_hub(rt_hub_.get());

    view_file_->set_source([this](vf::Sample& sample) { fill_view_sample(sample); });

    err_log_->set_file_name(exe_path_ + "registr.errors.log");
    fill_values_list();
    snapshot_ = std::make_unique<KarVoVrBur>(this);
    reg_active_ = false;
}

System::~System() = default;

RaceTotal& System::get_race_total() { return calc_values_->get_race_total(); }
candles::CandleCounter& System::get_candle_counter() { return calc_values_->get_candle_counter(); }
NasosWork& System::get_nasos_work() { return calc_values_->get_nasos_work(); }
ObTrub& System::get_ob_trub() { return calc_values_->get_ob_trub(); }
VEmkOpts& System::get_tanks() { return calc_values_->get_tanks(); }
instr::Items& System::get_instr_items() { return *pore_->get_instr(); }

void System::register_modules() {
    // In the order the station has always registered them.
    calc::CalcValues& calc = *calc_values_;
    modules_->register_module("RaceTotal", &calc.get_race_total());
    modules_->register_module("DepthCalc", &calc.get_depth_calc());
    modules_->register_module("CandleCounter", &calc.get_candle_counter());
    modules_->register_module("NasosWork", &calc.get_nasos_work());
    modules_->register_module("ObTrub", &calc.get_ob_trub());
    modules_->register_module("VEmkOpt", &calc.get_tanks());
    modules_->register_module("DataStorage", data_storage_.get());
    modules_->register_module("AverageValues", &data_storage_->average_values);
    if (!modules_->find("ParTabl")) {
        adapters_.push_back(std::make_unique<SerialAdapter<ParTabl>>(data_storage_->get_par_tabl()));
        modules_->register_module("ParTabl", adapters_.back().get());
    }
    modules_->register_module("DelayedDepth", &data_storage_->get_delayed_depth());
    modules_->register_module("RealTimeFile", &data_storage_->get_real_time_file());
    modules_->register_module("PoreOpts", pore_->get_options());
    modules_->register_module("PoreConstr", pore_->get_construction());
    modules_->register_module("TextRemarks", remarks_.get());
    modules_->register_module("MinMaxValues", &config_->get_min_max());
    modules_->register_module("PromerInstr2", pore_->get_instr());
    modules_->register_module("Sound", sound_.get());
    config_->register_modules(*modules_);
}

void System::fill_values_list() {
    // The hub's vocabulary, in the station's order.
    DataStorage* ds = data_storage_.get();
    pore::PoreOpt* well = pore_.get();
    instr::Items* instr = pore_->get_instr();
    pore::Construction* constr = pore_->get_construction();
    candles::CandleCounter* candles = &get_candle_counter();
    VEmkOpts* tanks = &get_tanks();
    DelayedDepth* lag = &ds->get_delayed_depth();
    RaceTotal* race = &get_race_total();
    Config* cfg = config_.get();
    Values& v = *values_;
    auto add = [&](const char* name, const char* title, const char* unit, int type, std::function<double()> get) {
        v.register_value(name, title, unit, ValueType(type), get);
    };
    add("pore.instr.total_count", "Общее количество свечей", "", 0,
        [instr] { return double(instr->get_total_count()); });
    add("pore.instr.total_len", "Общая длина инструмента", "м", 0, [instr] { return double(instr->get_total_len()); });
    add("candles.value", "Количество свечей", "", 3, [candles] { return double(candles->get()); });
    add("candles.pipe", "Количество трубок", "", 3, [candles] { return double(candles->get_pipe()); });
    add("candles.value_out", "Количество свечей вне скважины", "", 3, [candles] { return double(candles->get_out()); });
    add("candles.pipe_out", "Количество трубок вне скважины", "", 3,
        [candles] { return double(candles->get_out_pipe()); });
    add("ds.depth_z", "Глубина забоя", "м", 0, [ds] { return ds->get_depth_z(); });
    add("ds.depth_cur", "Глубина инструмента", "м", 0, [ds] { return ds->get_depth_cur(); });
    add("ds.depth_lag", "Задержанная глубина", "м", 0, [lag] { return lag->get_value(); });
    add("race.lag_time2", "Время до выхода метки", "", 2, [lag] { return double(lag->get_time_to_depth_out()); });
    auto kavern = [cfg] { return static_cast<float>(cfg->get_race_info().kavern_koeff); };
    add("pore.rastvor_volume", "V р-ра в скважине", "м3", 0,
        [well, candles, kavern] { return double(well->get_volume(candles->get(), candles->get_pipe(), kavern())); });
    add("pore.constr.total_len", "Длина ствола скважины", "м", 0, [constr] { return double(constr->get_total_len()); });
    add("pore.constr.total_volume", "Объём пустой скважины", "м3", 0,
        [constr, kavern] { return double(constr->get_volume(kavern())); });
    add("pore.constr.column_bottom", "Глубина спуска колонны", "м", 0,
        [constr] { return double(constr->get_column_bottom()); });
    add("race.prohodka", "Проходка за рейс", "м", 0, [race] { return race->get_prohodka(); });
    add("race.start", "Глубина начала рейса", "м", 0, [race] { return race->get_race_start(); });
    add("race.circ_time", "Время циркуляции", "", 1, [race] { return double(race->get_circ_time()); });
    add("race.nasos_rastvor_volume", "V перекаченного р-ра", "м3", 0,
        [race] { return race->get_nasos_rastvor_volume(); });
    add("race.spo_time", "Время СПО", "", 1, [race] { return double(race->get_spo_time()); });
    add("race.spo_up_time", "Время подъема инструмента", "", 1, [race] { return double(race->get_spo_up_time()); });
    add("race.spo_down_time", "Время спуска инструмента", "", 1, [race] { return double(race->get_spo_down_time()); });
    add("race.drill_time", "Время бурения", "", 1, [race] { return double(race->get_drill_time()); });
    add("race.registr_time", "Время регистрации", "", 1, [race] { return double(race->get_registr_time()); });
    add("race.prorab_time", "Время проработки", "", 1, [race] { return double(race->get_prorab_time()); });
    add("race.prom_time", "Время промывки", "", 1, [race] { return double(race->get_prom_time()); });
    add("race.other_time", "Прочее время", "", 1, [race] { return double(race->get_other_time()); });
    add("tanks.active_volume", "V р-ра в актив. ёмкостях", "м3", 0,
        [tanks] { return double(tanks->get_active_tank_v()); });
    add("tanks.doliv_volume", "V р-ра в долив. ёмкостях", "м3", 0,
        [tanks] { return double(tanks->get_whole_doliv_v()); });
    add("tanks.in_volume", "V р-ра в приёмных ёмкостях", "м3", 0,
        [tanks] { return double(tanks->get_total_in_tank()); });
    add("tanks.whole_volume", "V р-ра во всех ёмкостях", "м3", 0,
        [tanks] { return double(tanks->get_whole_tank_v()); });
    add("config.race_info.doloto_diametr", "Диаметр долота", "мм", 0,
        [cfg] { return cfg->get_race_info().bit_diameter; });
    add("config.race_info.kavern_koeff", "Коэффициент кавернозности", "", 0,
        [cfg] { return cfg->get_race_info().kavern_koeff; });
    add("ds.depth_uz", "Над забоем", "м", 0, [ds] { return ds->get_depth_uz(); });
    add("config.w_kol", "Общий вес колонны", "т", 0, [cfg] { return double(cfg->w_kol); });
}

AnsiString System::sys_file(const AnsiString& folder) const {
    // The stations pass folders that end in a separator; one that does not
    // still names the file inside it.
    return with_slash(folder) + "sys.bin";
}

void System::save_to_file(const AnsiString& folder) {
    const AnsiString path = sys_file(folder);
    try {
        rtl::write_file_atomic(os::native_path(path), [&](rtl::Stream& stream) {
            char version[4];
            put_int32(version, static_cast<std::uint32_t>(modules_->get_version()));
            stream.WriteBuffer(version, 4);
            modules_->serialize(&stream, sys_lock_obj(), 1);
        });
    } catch (const std::exception& e) {
        err_log_->add("System::save_to_file : Ошибка записи в файл '" + path + "': " + e.what());
    } catch (...) {
        err_log_->add("System::save_to_file : Ошибка записи в файл '" + path + "'");
    }
}

void System::load_from_file(const AnsiString& folder) {
    const AnsiString path = sys_file(folder);
    try {
        lib::Locker hold(sys_lock_obj());
        rtl::FileStream stream(os::native_path(path), rtl::FileStream::Mode::fmOpenRead);
        unsigned char b[4];
        stream.ReadBuffer(b, 4);
        std::int32_t version =
            static_cast<std::int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24));
        if (version != modules_->get_version()) throw std::runtime_error("Не совпадает версия файла копии системы");
        modules_->deserialize(&stream, 1, [&](const std::string& error) {
            err_log_->add("System::load_from_file : '" + path + "': " + error);
        });
    } catch (const std::exception& e) {
        err_log_->add("System::load_from_file : Ошибка чтения из файла '" + path + "': " + e.what());
    } catch (...) {
        err_log_->add("System::load_from_file : Ошибка чтения из файла '" + path + "'");
    }
}

void System::assign(System& other) {
    rtl::MemoryStream stream;
    other.modules_->serialize(&stream, sys_lock_obj(), 1);
    stream.SetPosition(0);
    lib::Locker hold(sys_lock_obj());
    modules_->deserialize(&stream, 1, [&](const std::string& error) { err_log_->add("System::assign : " + error); });
}

void System::before_work(int race_num, bool load, const AnsiString& folder) {
    lib::Locker hold(sys_lock_obj());
    values_->set_variable("race_num", rtl::IntToStr(race_num));
    if (load) {
        // A reload never moves the current depths.
        double depth_z = data_storage_->get_depth_z();
        double depth_cur = data_storage_->get_depth_cur();
        load_from_file(folder);
        data_storage_->restore_depths(depth_z, depth_cur);
    } else {
        data_storage_->get_delayed_depth().clear();
        get_race_total().clear_values();
        get_race_total().start();
    }
    plugin_manager_->for_each([race_num, load](RegPlugin* p) { p->start_registration(race_num, load); });
    reg_active_ = true;
}

void System::after_work(const AnsiString&) {
    lib::Locker hold(sys_lock_obj());
    get_race_total().stop();
    plugin_manager_->for_each([](RegPlugin* p) { p->stop_registration(); });
    reg_active_ = false;
}

void System::on_data() {
    lib::Locker hold(sys_lock_obj());
    new_frame_signal();
}

void System::fill_host_data(HostData& data) {
    data.show_recalibration = reg_active_;
    CommProtocols* protocols = protocols_.get();
    data.read_channel = [protocols](int channel) { return protocols->get_last_adc_value(channel); };
}

void System::fill_view_sample(vf::Sample& sample) {
    {
        lib::Locker hold(sys_lock_obj());
        sample.pipes = get_candle_counter().get() + get_candle_counter().get_pipe() * 0.1;
    }
    DataStorage& ds = *data_storage_;
    sample.depth_z = ds.get_depth_z();
    sample.depth_cur = ds.get_depth_cur();
    sample.depth_lag = ds.get_delayed_depth().get_value();
    // Columns are numbers of the registry of all parameters, not positions
    // in the station's table.
    const ParTabl& table = ds.get_par_tabl();
    const AllParams& all = get_all_params();
    for (int i = 0; i < table.get_items_count(); ++i) {
        int n = all.get_param_number(table.at(i).global_name);
        if (n >= 0 && n < vf::max_params) sample.values.emplace_back(n, ds.average_values[i]);
    }
}

void System::fill_cur_files_list() {
    cur_files_.clear();
    RealTimeFile& writer = data_storage_->get_real_time_file();
    for (const AnsiString* name : {&writer.get_time_file_name(), &writer.get_depth_file_name(),
                                   &writer.get_lag_file_name(), &writer.get_fast_file_name()})
        if (!name->empty()) cur_files_.insert(*name);
}

}  // namespace reg

namespace {
std::mutex g_build_mutex;
std::atomic<reg::System*> g_root{nullptr};
std::atomic<std::thread::id> g_builder{};
}  // namespace

reg::System* sys() {
    if (auto* root = g_root.load(std::memory_order_acquire)) return root;
    if (g_builder.load() == std::this_thread::get_id())
        throw std::logic_error("sys(): the root object was asked for while it is being built");
    std::lock_guard<std::mutex> hold(g_build_mutex);
    if (auto* root = g_root.load(std::memory_order_acquire)) return root;
    g_builder.store(std::this_thread::get_id());
    try {
        auto* root = new reg::System(os::program_dir());
        g_root.store(root, std::memory_order_release);
    } catch (...) {
        g_builder.store(std::thread::id());
        throw;
    }
    g_builder.store(std::thread::id());
    return g_root.load();
}
