#include "gti/registr_old/race_info.h"

#include "library/options/grid_options.h"
#include "platform/rtl/string_list.h"

#include <memory>

namespace {

using lib::options_detailed::meta_class;
using lib::options_detailed::meta_class_enum;

constexpr const char* kDrillTypes[] = {"Роторное",       "Турбинное",        "Роторно-турбинное",
                                       "Электробурение", "Аварийные работы", "Другое"};
constexpr const char* kDrillChoices = "Роторное|Турбинное|Роторно-турбинное|Электробурение|Аварийные работы|Другое";
// The editors show a time kept in the station's seconds by this unit text.
constexpr const char* kUnixTime = "UNIX_TIME";
constexpr std::uint32_t kNoTime = 0xFFFFFFFFu;

}  // namespace

RaceInfoOld::RaceInfoOld() { set_defaults(); }

AnsiString RaceInfoOld::get_drill_type_str(int type) {
    if (type < 0 || type >= static_cast<int>(std::size(kDrillTypes))) return "::ОШИБКА::";
    return kDrillTypes[type];
}

AnsiString RaceInfoOld::get_race_file(const AnsiString& data_file) {
    auto slash = data_file.find_last_of("/\\");
    std::size_t name_start = slash == AnsiString::npos ? 0 : slash + 1;
    auto dot = data_file.find('.', name_start);
    if (dot == AnsiString::npos) return {};
    return data_file.substr(0, dot + 1) + "rac";
}

void RaceInfoOld::get_elements_list(lib::ini_options_elements& l) {
    update_drill_method();
    const char* s = "архивные_данные";
    l.add(field_name, s, "месторождение");
    l.add(well, s, "скважина");
    l.add(well_category, s, "категория_скважины");
    l.add(area, s, "площадь");
    l.add(customer, s, "заказчик");
    s = "настройки_рейса";
    l.add(race_num, s, "номер_рейса");
    l.add(drill_method, s, "способ_бурения");
    l.add(operator_name, s, "оператор");
    l.add(bit_type, s, "тип_долота");
    l.add(bit_number, s, "номер_долота");
    l.add(bit_diameter, s, "диаметр_долота");
    l.add(motor_type, s, "типоразмер_з_д");
    l.add(bit_wear_start, s, "начальный_износ_долота");
    l.add(kavern_koeff, s, "коэффициент_кавернозности");
    l.add(depth_step, s, "шаг_записи_по_глубине");
    l.add(time_step, s, "шаг_записи_по_времени");
    s = "начало_рейса";
    l.add(start_depth, s, "глубина");
    l.add(start_time, s, "время");
    s = "окончание_рейса";
    l.add(end_depth, s, "глубина");
    l.add(end_time, s, "время");
    l.add(bit_wear_code, s, "износ_долота");
    l.add(drill_time, s, "время_бурения");
    l.add(circ_time, s, "время_циркуляции");
    l.add(spo_time, s, "время_спо");
    l.add(prom_time, s, "время_промывки");
    l.add(prorab_time, s, "время_проработки");
    l.add(aver_load, s, "средняя_нагрузка");
    l.add(aver_pressure, s, "среднее_давление");
    l.add(aver_flow, s, "средний_расход");
    l.add(drill_rate, s, "скорость_бурения");
    s = "раствор";
    l.add(aver_density, s, "средняя_плотность");
    l.add(fluid_type, s, "тип_раствора");
    l.add(viscosity, s, "вязкость");
    l.add(filtration, s, "фильтрация");
    l.add(chl, s, "CHl");
    l.add(cake, s, "толщина_корки");
    l.add(sand, s, "процент_песка");
    l.add(stability, s, "стабильность");
    l.add(resistivity, s, "удельное_сопротивление");
    l.add(stickiness, s, "липкость");
    l.add(ph, s, "pH");
}

void RaceInfoOld::enum_values(lib::options_list& l) {
    update_drill_method();
    auto text = [&](AnsiString& v, const char* key, const char* caption = "") {
        l.add(new meta_class<std::string>(v, "", key, caption));
    };
    auto number = [&](double& v, const char* key, const char* caption, const char* unit, int digits, double def = 0) {
        l.add(new meta_class<double>(v, def, key, caption, unit, digits, 1.0));
    };

    l.sector("рейс_арх", "Архивные данные");
    text(field_name, "месторождение");
    text(well, "скважина");
    text(well_category, "категория_скважины");
    text(area, "площадь");
    text(customer, "заказчик");
    number(prohodka, "проходка", "", "м", 2);
    number(start_depth, "нач_глубина", "", "м", 2);
    l.add(new meta_class<unsigned int>(start_time, kNoTime, "нач_время", "", kUnixTime));
    number(end_depth, "конеч_глубина", "", "м", 2);
    l.add(new meta_class<unsigned int>(end_time, kNoTime, "конеч_время", "", kUnixTime));

    l.sector("рейс_главн", "Основные данные");
    l.add(new meta_class<int>(race_num, 1, "номер_рейса", "Номер рейса", ""));
    text(drill_method, "способ_бурения");
    text(operator_name, "оператор", "Операторы");
    l.add(new meta_class_enum<DrillType>(drill_type, rotary, "способ_бурения2", "Способ бурения", kDrillChoices));

    l.sector("рейс_долото", "Долото и ЗД");
    text(bit_type, "тип_долота", "Типоразмер долота");
    text(bit_number, "номер_долота", "Заводской номер долота");
    number(bit_diameter, "диаметр_долота", "Диаметр долота", "мм", 1);
    text(motor_type, "типоразмер_з_д", "Типоразмер ЗД");
    text(bit_wear_start, "начальный_износ_долота", "Начальный износ долота");
    text(bit_wear_code, "износ_долота", "Код износа долота");
    text(bha, "компоновка", "КНБК");
    number(kavern_koeff, "коэффициент_кавернозности", "Коэффициент кавернозности скв.", "", 1, 1);

    l.sector("рейс_техно", "Технол. параметры");
    number(aver_load, "сред_нагр", "Средняя нагрузка", "т", 1);
    number(aver_density, "сред_плотн", "Средняя плотность ПЖ", "г/см3", 2);
    number(aver_pressure, "сред_давл", "Среднее давление ПЖ", "атм", 0);
    number(aver_flow, "сред_расх", "Средний расход ПЖ", "л/с", 1);
    number(drill_rate, "рейс_скор", "Рейсовая скорость", "м/ч", 2);

    l.sector("рейс_пж", "ПЖ");
    text(fluid_type, "тип_раствора", "Тип раствора");
    text(viscosity, "вязкость", "Вязкость");
    text(filtration, "фильтрация", "Фильтрация");
    number(chl, "chl", "CHl", "", 2);
    number(cake, "толщина_корки", "Толщина корки", "мм", 1);
    number(sand, "процент_песка", "Процент песка", "%", 1);
    text(stability, "стабильность", "Стабильность");
    number(resistivity, "удельное_сопротивление", "Удельное сопротивление", "ом/м", 2);
    text(stickiness, "липкость", "Липкость");
    number(ph, "ph", "pH", "", 1);
}

void RaceInfoOld::fill_to_strings(rtl::StringList& out) {
    out.Clear();
    lib::options_list l;
    enum_values(l);
    l.for_each(
        [&](const lib::MetaClassPointer& item) { out.Add(item->get_ini_name() + "=" + item->get_serial_string()); });
}

void RaceInfoOld::get_serial_list(lib::serial_list& l, unsigned) {
    l | drill_type;
    l | race_num | time_step | drill_time | circ_time | spo_time | prom_time | prorab_time;
    l | start_time | end_time;
    l | prohodka | stream_double | bit_diameter | depth_step | start_depth | end_depth | aver_load | aver_density |
        aver_pressure | aver_flow | drill_rate | cake | ph | resistivity | chl | sand;
    l | stability | fluid_type | viscosity | filtration | stickiness | bha | bit_type | customer | field_name |
        stream_text[0] | motor_type | stream_text[1] | operator_name | well | bit_number | area | well_category |
        stream_text[2] | stream_text[3] | stream_text[4] | bit_wear_code | drill_method | bit_wear_start;
    l | kavern_koeff;
}

void RaceInfoOld::correct_race_options(int kind, lib::grid_options_list& read_only, lib::grid_options_list& hidden) {
    read_only.clear();
    hidden.clear();
    switch (kind) {
        case 0:
            read_only.sector("рейс_главн");
            read_only.add("номер_рейса");
            hidden.sector("рейс_долото");
            hidden.add("износ_долота");
            break;
        case 1:
            hidden.sector("рейс_главн");
            hidden.add("номер_рейса");
            hidden.sector("рейс_долото");
            hidden.add("износ_долота");
            hidden.add_sector("рейс_техно");
            break;
        case 2:
            read_only.sector("рейс_главн");
            read_only.add("номер_рейса");
            break;
        default: break;
    }
}
