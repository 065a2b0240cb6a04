#include "gti/registr_old/pore_options.h"

#include <cmath>

#include "gti/registr_old/race_info.h"
#include "gti/registr_old/values.h"
#include "library/serial/serial_list.h"
#include "library/well_files.h"
#include "platform/os/paths.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/text.h"

using lib::options_detailed::meta_class;

void BasicPoreOptions::enum_values(lib::options_list& l) {
    auto t = [&](AnsiString& v, const char* key, const char* caption, const char* def = "") {
        l.add(new meta_class<std::string>(v, def, key, caption));
    };
    auto f = [&](double& v, const char* key, const char* caption, const char* unit, int digits) {
        l.add(new meta_class<double>(v, 0.0, key, caption, unit, digits, 1.0));
    };
    l.sector(section_name, "Основные");
    t(strana, "страна", "Страна", "Россия");
    t(mestorozhdenie, "месторождение", "Месторождение");
    t(ploshad, "площадь", "Площадь");
    t(kust, "куст", "Куст");
    t(nomer, "номер", "Скважина");
    t(kategoriya, "категория_скважины", "Категория скважины");
    t(metod, "метод_исследования", "Метод исследования", "ГТИ");
    l.sector(section_name, "Станция");
    t(tip_stancii, "тип_станции", "Тип станции");
    t(ekspediciya, "экспедиция", "Экспедиция");
    t(organizaciya, "организация", "Организация");
    t(partiya_gti, "партия_ГТИ", "Партия ГТИ");
    t(otryad, "отряд", "Номер отряда");
    t(operatory, "операторы", "Операторы");
    t(nachalnik_otryada, "начальник_отряда", "Начальник отряда");
    t(nachalnik_partii, "начальник_партии", "Начальник партии");
    l.sector(section_name, "Буровая");
    t(zakazchik, "название_заказчика", "Заказчик");
    t(ubr, "УБР", "УБР");
    t(master, "мастер", "Мастер");
    t(nachalnik_skvaginy, "начальник_скважины", "Начальник скважины");
    l.sector(section_name, "Конструкция буровой");
    t(burovaya, "буровая_установка", "Буровая установка");
    t(nasos, "насос", "Насос");
    f(altituda, "альтитуда_ротора", "Альтитуда ротора", "м", 1);
    f(proekt_glubina, "проектная_глубина", "Проектный забой", "м", 1);
    t(gorizont, "проектный_горизонт", "Проектный горизонт");
    f(azimut, "проектный_азимут", "Проектный азимут", "°", 1);
    f(diam_konduktora, "диаметр_кондуктора", "Диаметр кондуктора", "мм", 0);
    f(bashmak_konduktora, "башмак_кондуктора", "Башмак кондуктора", "м", 1);
}

void BasicPoreOptions::check_values() {
    for (double* v : {&proekt_glubina, &diam_konduktora, &bashmak_konduktora, &well_diameter, &altituda})
        if (!(*v >= 0)) *v = 0;
}

AnsiString BasicPoreOptions::safe_folder_name(const AnsiString& number) { return lib::well_folder_name(number); }

AnsiString BasicPoreOptions::get_pore_directory() const {
    const AnsiString folder = safe_folder_name(nomer);
    if (folder.empty()) return AnsiString();
    AnsiString exe = os::program_dir();
    if (exe.empty() || exe.back() != '/') exe += '/';
    return exe + folder;
}

namespace pore {

void Options::get_serial_list(lib::serial_list& list, unsigned) {
    list | nomer | ploshad | mestorozhdenie;
    list | kategoriya | ekspediciya | partiya_gti | ubr | zakazchik | organizaciya | metod | strana | tip_stancii |
        otryad | operatory | nachalnik_otryada | nachalnik_partii | nachalnik_skvaginy | master | burovaya | nasos;
    list | proekt_glubina | diam_konduktora | bashmak_konduktora | well_diameter | altituda;
    list | kust | gorizont | azimut;
}

void Options::fill_variables(Values& values) const {
    values.set_variable("pore.pore", nomer);
    values.set_variable("pore.area", ploshad);
    values.set_variable("pore.origin", zakazchik);
    values.set_variable("pore.kust", kust);
}

void Options::fill_rated_variables(Values& values) const {
    values.set_variable("pore.designed_depth", rtl::FloatToStr(proekt_glubina));
    values.set_variable("pore.rated_horizon", gorizont);
    values.set_variable("pore.rated_azimut", rtl::FloatToStr(azimut));
    values.set_variable("pore.diam_kondukora", rtl::FloatToStr(diam_konduktora));
    values.set_variable("pore.bashmak_konduktora", rtl::FloatToStr(bashmak_konduktora));
}

void Options::fill_race_archive_options(RaceInfoOld& trip) const {
    trip.well = nomer;
    trip.area = ploshad;
    trip.field_name = mestorozhdenie;
    trip.well_category = kategoriya;
    trip.customer = zakazchik;
}

}  // namespace pore
