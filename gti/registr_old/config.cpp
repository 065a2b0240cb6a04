#include "gti/registr_old/config.h"

#include "gti/registr_old/comm_protocols.h"

#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/values.h"
#include "library/controls/draw_helpers.h"
#include "library/text_conv.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/string_list.h"

namespace {

using lib::options_detailed::meta_class;
constexpr const char* kNoYes = "Нет|Да";

// Registers options into one list with the unit and decimals the table
// gives; every display factor is 1.
struct Adder {
    lib::options_list& l;
    void f(float& v, const char* key, const char* caption, const char* unit, int digits, float def) {
        l.add(new meta_class<float>(v, def, key, caption, unit, digits, 1.0));
    }
    void i(int& v, const char* key, const char* caption, const char* unit, int def) {
        l.add(new meta_class<int>(v, def, key, caption, unit));
    }
    void b(bool& v, const char* key, const char* caption, bool def, const char* texts = kNoYes) {
        l.add(new meta_class<bool>(v, def, key, caption, texts));
    }
    void t(AnsiString& v, const char* key, const char* caption, const char* def) {
        l.add(new meta_class<std::string>(v, def, key, caption));
    }
};

}  // namespace

double NasosOpt::calc_volume(float x) const { return static_cast<double>(x) * volume * fill_koeff * range / 60.0; }

UserInterfaceOpt::UserInterfaceOpt()
    : dark_face(lib::transform_color_light(rtl::clBtnFace, -32, 0)),
      light_face(lib::transform_color_light(rtl::clBtnFace, -8, 0)) {}

void UserInterfaceOpt::default_gr() {
    frames_color = 0x808080;
    phone_color = 0xFFFFFF;
    line_color = 0x808080;
    text_color = 0x000000;
    hat_color = 0xFFFFFF;
    use_pens = true;
    gr_font_size = 8;
    panel_size = 100;
    gr_font_name = "Tahoma";
    depth_clmn_view = 0;
}

void UserInterfaceOpt::get_elements_list(lib::ini_options_elements& l) {
    const char* s = "colors";
    l.add(gr_font_size, s, "gr_font_size");
    l.add(gr_font_name, s, "gr_font_name");
    l.add(frames_color, s, "frames_color");
    l.add(phone_color, s, "phone_color");
    l.add(line_color, s, "line_color");
    l.add(text_color, s, "text_color");
    l.add(hat_color, s, "hat_color");
    l.add(indi_color, s, "indi_color");
    l.add(use_pens, s, "use_pens");
    l.add(panel_size, s, "panel_size");
    l.add(depth_clmn_view, s, "depth_clmn_view");
}

const char* const GlobalNums::names[GlobalNums::count] = {
    "вес_на_крюке",
    "давление_на_входе",
    "уровень_в_емкости",
    "плотность_на_входе",
    "момент_ротора",
    "расход_на_выходе",
    "ходы_насоса",
    "тальблок",
    "расход_на_входе",
    "объем_емкости",
    "нагрузка",
    "скорость_спо",
    "скорость_механическая",
    "дмк",
    "дмк1",
    "скорость_бурения",
    "обороты_ротора",
    "давление1_на_входе",
    "давление2_на_входе",
    "температура_на_входе",
    "температура_на_выходе",
    "плотность_на_выходе",
    "рейсовая_скорость",
    "стоимость_метра_проходки",
    "суммарный_газ",
    "удельное_сопротивление",
    "сумм_газ",
    "максимальный_газ",
    "давление1_на_выходе",
    "давление2_на_выходе",
    "электропроводность_на_входе",
    "электропроводность_на_выходе",
};

void GlobalNums::calculate(const DataStorage& ds) {
    static const Index order[count] = {
        ves_na_kruke,
        davlenie_na_vhode,
        uroven_v_emkosti,
        plotnost_na_vhode,
        moment_rotora,
        rashod_na_vyhode,
        hody_nasosa,
        talblok,
        rashod_na_vhode,
        obem_emkosti,
        nagruzka,
        skorost_spo,
        skorost_meh,
        dmk,
        dmk1,
        skorost_bureniya,
        davlenie1_na_vhode,
        davlenie2_na_vhode,
        temperatura_na_vhode,
        temperatura_na_vyhode,
        plotnost_na_vyhode,
        davlenie1_na_vyhode,
        davlenie2_na_vyhode,
        elprov_na_vhode,
        elprov_na_vyhode,
        stoimost_metra,
        reisovaya_skorost,
        summarny_gaz,
        ud_soprotivlenie,
        max_gaz,
        summ_gaz,
        oboroty_rotora,
    };
    const ParTabl& table = ds.get_par_tabl();
    for (Index i : order) pos[static_cast<std::size_t>(i)] = table.find_global(names[i]);
}

Config::Config()
    : race_info_(std::make_unique<RaceInfoOld>()),
      race_info_module_(std::make_unique<RaceInfoModule>(race_info_.get())),
      race_info_ptr(race_info_.get()),
      nasos_opt(3) {
    defaults();
}

void Config::defaults() {
    // The outlet and gas names, laid out as the stations always stored them.
    static const char* const lag_names[] = {
        "электропроводность_на_выходе",
        "температура_на_выходе",
        "плотность_на_выходе",
        "метан_абс",
        "этан_абс",
        "пропан_абс",
        "бутан_абс",
        "пентан_абс",
        "гексан_абс",
        "метан_отн",
        "этан_отн",
        "пропан_отн",
        "бутан_отн",
        "пентан_отн",
        "гексан_отн",
        "максимальный_газ",
        "сумм_газ",
        "сумм_газ2",
    };
    lag_params.clear();
    for (std::size_t i = 0; i < std::size(lag_names); ++i) {
        if (i > 0) {
            lag_params += ',';
            if (i == 1 || i == 3 || i == 9 || i == 15) lag_params += "\t\t\t\t   ";
        }
        lag_params += lag_names[i];
    }
    for (auto& t : host_texts) t.clear();
    const float floats[7] = {100, 400, 2, 100, 0, 0, 0};
    std::copy(std::begin(floats), std::end(floats), host_floats);
    host_int = 0;
    set_defaults();
}

void Config::enum_values(lib::options_list& l) {
    Adder a{l};
    l.sector("рейс", "Рейс");
    a.i(nomer_dolbleniya, "номер_долбления", "", "", 1);

    l.sector("ДОЛ", "ДОЛ");
    a.f(dol_koeff, "коэффицент_ДОЛа", "Коэффициент", "Имп/м", 1, 150);
    a.f(dlina_mernogo, "длина_мерного_участка", "Мерный участок", "м", 1, 12);
    a.i(revers_dol, "реверс_ДОЛ", "Реверс (-1 или 1)", "", 1);
    a.f(svecha, "свеча", "Ход талевого блока", "м", 1, 36);
    a.f(min_talblok, "мин_тальблок", "Мин. значение тальблока", "м", 1, 0);

    l.sector("запись_и_осреднение", "Запись и осреднение");
    a.f(depth_step, "запись_по_глубине", "Шаг записи по глубине", "м", 2, 0.2f);
    a.i(time_step, "запись_по_времени", "Шаг записи по времени", "сек.", 10);
    a.b(save_fast_file, "save_fast_file", "Сохранять быстрый файл", true);

    l.sector("настройки_распознавания", "Настройки распознавания");
    a.f(zero_weight, "нулевой_вес", "Нулевой вес", "т", 1, 10);
    a.b(use_rotor, "use_rotor", "Учитывать вращение ротора при определении Проработки", false);
    a.b(use_prorab_dmk, "use_prorab_dmk", "Считать ДМК при проработке", false);
    a.b(use_klinya, "use_klinya", "Использовать клинья", false);
    a.f(zero_pressure, "нулевое_давление", "Нулевое давление", "атм.", 1, 10);
    a.f(max_load, "макс_нагрузка", "Максимальная нагрузка", "т", 1, 30);
    a.f(min_load, "мин_нагрузка", "Минимальная нагрузка", "т", 1, 0.5f);
    a.f(w_kol, "общий_вес_колонны", "Общий вес колонны", "т", 1, 5);
    a.f(load_depth, "глубина_для_нагрузки", "Глубина над забоем для расчёта нагрузки", "м", 1, 100);
    a.i(max_tal_move_counter, "max_tal_move_counter", "Макс. время простоя инструмента в СПО и Наращивании", "мин", 5);

    l.sector("прочие_настройки", "Прочие настройки");
    a.f(last_tal, "last_tal", "", "м", 2, 0);
    auto pumps = [&](const char* key, const char* caption, auto member, const char* unit, int digits, auto def) {
        for (int n = 0; n < 3; ++n) {
            std::string k = key + std::to_string(n + 1);
            std::string c = caption + std::to_string(n + 1);
            auto& field = nasos_opt[n].*member;
            using Field = std::remove_reference_t<decltype(field)>;
            if constexpr (std::is_same_v<Field, float>)
                a.f(field, k.c_str(), c.c_str(), unit, digits, def);
            else if constexpr (std::is_same_v<Field, int>)
                a.i(field, k.c_str(), c.c_str(), unit, def);
            else
                a.b(field, k.c_str(), c.c_str(), def);
        }
    };
    pumps("коефф_заполн_насоса", "Коэф. заполн. насоса-", &NasosOpt::fill_koeff, "", 2, 0.8f);
    pumps("объем_насоса", "Объём насоса-", &NasosOpt::volume, "л", 2, 0.0f);
    pumps("rnas", "Диапазон насоса-", &NasosOpt::range, "", 2, 60.0f);
    pumps("диам_поршня_насоса", "Диам. поршня насоса-", &NasosOpt::piston_diameter, "мм", 2, 160.0f);
    pumps("ход_поршня_насоса", "Ход поршня насоса-", &NasosOpt::piston_stroke, "мм", 2, 400.0f);
    pumps("диам_штока_насоса", "Диам. штока насоса-", &NasosOpt::rod_diameter, "мм", 2, 80.0f);
    pumps("кол_поршней_насоса", "Кол. поршней насоса-", &NasosOpt::pistons, "шт", 0, 3);
    pumps("двойной_насос", "Двойного действия насос-", &NasosOpt::double_acting, "", 0, false);
    a.f(plotnomer_base, "база_плотномера", "База плотномера", "м", 2, 1);
    a.f(plotnomer_koeff, "коэффицент_плотномера", "Коэффициент плотномера", "", 2, 84);
    a.f(polispast_koeff, "коэффицент_полиспаста", "Коэффицент полиспаста", "", 2, 10);
    a.f(koef_t_plt1, "KoefTPlt1", "Темп. коэф. на входе", "", 2, 0);
    a.f(koef_t_plt2, "KoefTPlt2", "Темп. коэф. на выходе", "", 2, 0);
    a.i(screen_size, "размер_экрана", "", "", 1800);
    a.b(pult_buttons, "кнопки_на_пульте", "Использовать кнопки на пульте", false);
    a.f(add_rastvor_v, "доб_V_раствора", "Добавочный объём раствора", "м3", 2, 0);
    a.f(rotor_koeff, "коэф_ротора", "Коэффициент ротора", "", 2, 1);
    a.i(rotor_pulses, "рот_имп_на_оборот", "Число импульсов на оборот ротора", "", 1);

    l.sector("связь", "Связь с УСО");
    a.i(data_source, "data_source", "Тип источника данных\n(пульт=0,комп=1,файл=2)", "", 0);
    a.t(port, "порт", "Имя порта", "COM1");
    a.b(data_sound, "звук", "Звук при получении данных", true);
    a.i(data_sound_length, "звук_длина", "Длительность звука при получении данных", "", 20);
    a.i(pult_type, "тип_пульта_бурильщика", "Тип пульта бурильщика", "", 0);
    a.t(remote_computer, "remote_computer", "Имя удалённого компьютера", "::не задано::");
    a.b(use_pult_signal, "use_pult_signal", "Использовать сигнализацию на пульте", true);
    a.b(use_pult_relay, "use_pult_relay", "Использовать реле на пульте", false);
    a.t(ds_file_name, "ds_file_name", "Имя файла для имитатора", "");
    a.t(net_name, "net_name", "Адрес сервера УСО", "");
    a.b(use_net_uso, "use_net_uso", "Использовать сервер УСО", false, nullptr);

    l.sector("задержанная_глубина", "Задержанная глубина");
    a.f(zero_out_flow, "нулевой_расход_на_выходе", "Нулевой расход на выходе", "л/с", 1, 17);
    a.f(out_flow, "расход_на_выходе", "Расход на выходе", "л/с", 1, 25);
    a.i(lag_by_time, "расчет_по_времени_отставания", "Расчёт без учёта объёма затрубъя", "", 1);
    a.f(lag_time, "время_отставания", "Время отставания", "секунд", 4, 0);
    a.f(lag_time_add, "добавка_ко_времени", "Добавка ко врмени отставания", "сек/100м", 5, 0);
    a.i(circ_by_pressure, "циркуляция_по_давлению", "Определать циркуляцию по давлению", "", 0);
    a.i(gas_pass_time, "время_прохода_газа", "Время прохода газа по ГВЛ", "с", 0);
    a.i(label_interval, "пром_расч_врем_вых_метки", "Промежуток для расчёта времени\nвыхода метки", "м", 1);
    a.i(flow_source, "исп_расх_с", "Источник значения расхода ПЖ", "", 1);

    l.sector("звуковое_предупреждение", "Звуковая сигнализация\n(0-нет, 1-коротк., 2-длинный сигнал)");
    a.i(snd_pressure_on, "включение_давление", "Включение давления", "", 0);
    a.i(snd_pressure_off, "отключение_давления", "Отключение давления", "", 0);
    a.i(snd_on_bottom, "постановка_на_забой", "Постановка на забой", "", 0);
    a.i(snd_kind, "вид_звука", "Тип звука", "", 0);
    a.i(signal_prihvat, "signal_prihvat", "Сигнализировать о прихвате", "", 1);
}

void Config::save_additional_info(rtl::IniFile* ini) { min_max.save(ini); }

void Config::load_additional_info(rtl::IniFile* ini) {
    min_max.load(ini);
    check();
    fill_to_variables();
}

void Config::check() {
    if (pult_type == -6) {
        pult_buttons = false;
        circ_by_pressure = 1;
    } else if (pult_type == -1) {
        pult_buttons = false;
        circ_by_pressure = 0;
    }
}

void Config::fill_to_variables() const {
    if (!values_) return;
    values_->set_variable("ves0", rtl::FloatToStr(zero_weight));
    values_->set_variable("KoefPolispast", rtl::FloatToStr(polispast_koeff));
}

void Config::register_modules(lib::ModuleList& modules) {
    modules.register_module("RaceInfoOld", race_info_module_.get());
}

void Config::dril_types_to_strings(rtl::StringList* list) {
    if (!list) return;
    list->Clear();
    lib::fill_strings(*list, {"Роторное", "Турбинное", "Роторно-турбинное", "Электробурение"});
}

namespace {
double current(DataStorage* frame, const char* name) { return frame ? frame->current_values[name] : 0.0; }
}  // namespace

double Config::get_nas0() const { return current(frame_, "ходы_насоса1"); }
double Config::get_nas1() const { return current(frame_, "ходы_насоса2"); }
double Config::get_nas2() const { return current(frame_, "ходы_насоса3"); }
double Config::get_rotor() const { return current(frame_, "обороты_ротора"); }

std::uint8_t PultIndicator::get_dac_value(int index, double value, double full_scale) const {
    if (index < 0 || index >= int(values.size())) return 0;
    return hardware::dac_value(values[std::size_t(index)], value, full_scale);
}
