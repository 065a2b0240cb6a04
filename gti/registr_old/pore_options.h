#pragma once
// The descriptive data of the well: where it is, who works on it, and the
// design figures of the rig and the well. BasicPoreOptions declares them as
// one options list (edited in a dialog, kept in the INI section "скважина");
// pore::Options adds the module stream, the well folder, and hands the
// values to the named values and to the trip record.

#include <cstdint>
#include <string>

#include "library/options/options.h"
#include "library/serial/module_list.h"

class Values;
class RaceInfoOld;

using AnsiString = std::string;

class BasicPoreOptions : public lib::options_base {
public:
    static constexpr const char* section_name = "скважина";

    BasicPoreOptions() { set_defaults(); }

    void save_additional_info(rtl::IniFile*) override {}
    void load_additional_info(rtl::IniFile*) override {}
    void enum_values(lib::options_list& list) override;

    // Each of the first five numbers that is negative or not a number
    // becomes 0 (the azimuth may be anything).
    void check_values();

    // The well's folder: the program's folder followed by the well number,
    // or an empty text when there is no number (or no usable one, see
    // safe_folder_name).
    AnsiString get_pore_directory() const;
    // The well number as a folder name: path separators and characters no
    // folder may hold become '_', blanks at the ends go; a number that is
    // then empty or only dots ("..") gives an empty text, so the folder can
    // never lie outside the program's folder.
    static AnsiString safe_folder_name(const AnsiString& number);

    // The texts, in field order.
    AnsiString nomer;               // "номер"
    AnsiString ploshad;             // "площадь"
    AnsiString mestorozhdenie;      // "месторождение"
    AnsiString kust;                // "куст"
    AnsiString kategoriya;          // "категория_скважины"
    AnsiString ekspediciya;         // "экспедиция"
    AnsiString partiya_gti;         // "партия_ГТИ"
    AnsiString ubr;                 // "УБР"
    AnsiString zakazchik;           // "название_заказчика"
    AnsiString organizaciya;        // "организация"
    AnsiString metod;               // "метод_исследования"
    AnsiString strana;              // "страна"
    AnsiString tip_stancii;         // "тип_станции"
    AnsiString otryad;              // "отряд"
    AnsiString operatory;           // "операторы"
    AnsiString nachalnik_otryada;   // "начальник_отряда"
    AnsiString nachalnik_partii;    // "начальник_партии"
    AnsiString nachalnik_skvaginy;  // "начальник_скважины"
    AnsiString master;              // "мастер"
    AnsiString burovaya;            // "буровая_установка"
    AnsiString nasos;               // "насос"
    AnsiString gorizont;            // "проектный_горизонт"
    // The numbers, in field order.
    double proekt_glubina = 0;      // "проектная_глубина", m
    double diam_konduktora = 0;     // "диаметр_кондуктора", mm
    double bashmak_konduktora = 0;  // "башмак_кондуктора", m
    double well_diameter = 0;       // no option: kept and saved; the trip header's well diameter
    double altituda = 0;            // "альтитуда_ротора", m
    double azimut = 0;              // "проектный_азимут", °
    std::int32_t reserved = 0;      // not used
};

namespace pore {

class Options : public virtual lib::ModuleBaseOld, public lib::SerialModuleBase, public BasicPoreOptions {
public:
    Options() = default;

    // Module stream "pore::Options": 22 texts and 6 numbers in the
    // station's order (see the source).
    void get_serial_name(AnsiString& name) override { name = "pore::Options"; }
    void get_serial_list(lib::serial_list& list, unsigned param) override;

    // "pore.pore", "pore.area", "pore.origin", "pore.kust".
    void fill_variables(Values& values) const;
    // "pore.designed_depth", "pore.rated_horizon", "pore.rated_azimut",
    // "pore.diam_kondukora", "pore.bashmak_konduktora".
    void fill_rated_variables(Values& values) const;
    // Well, area, field, category and customer of the trip record.
    void fill_race_archive_options(RaceInfoOld& trip) const;
};

}  // namespace pore
