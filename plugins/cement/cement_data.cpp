#include "plugins/cement/cement_data.h"

#include <algorithm>

namespace cement {

const char* stage_kind_name(int kind) {
    static const char* const names[stage_kind_count] = {"Закачка буфера",
                                                        "Закачка цементного р-ра",
                                                        "Закачка гельцемента",
                                                        "Закачка газоцемента",
                                                        "Ожидание",
                                                        "Продавка",
                                                        "Другое"};
    return kind >= 0 && kind < stage_kind_count ? names[kind] : "";
}

const std::vector<AnsiString>& default_columns() {
    static const std::vector<AnsiString> columns = {"cem_davl", "cem_plotn", "cem_plan_plotn",
                                                    "cem_temp", "cem_rasx",  "cem_plan_rasx",
                                                    "cem_V",    "cem_Vsumm", "cem_plan_V"};
    return columns;
}

}  // namespace cement

TRastvor TRastvor::made_by_operator(const AnsiString& name) {
    TRastvor r;
    r.name = name;
    r.density = 1.0f;
    r.additive = "__название_добавки__";
    r.base = "__название_основы__";
    r.calibr_file_name = "__калибровка_по_умолчанию__";
    return r;
}

void CementProgramElement::reset_report_values() {
    rate_sum = 0;
    density_sum = 0;
    samples = 0;
    P_min = 10.0f;
    P_max = 0;
}

void CementProgramElement::start_afresh() {
    mode = cement::state_waiting;
    start = 0;
    end = 0;
    V_inc = Vsumm = cem_Vsumm = cem_M = cem_Msumm = 0;
    Q_av = Pl_av = 0;
    reset_report_values();
}

void CementProgramElement::take_samples(CementProgramElement& other) {
    rate_sum += other.rate_sum;
    density_sum += other.density_sum;
    samples += other.samples;
    // Both start where an element starts (10 and 0), so the lower and the
    // higher of the two are the extremes of all the samples.
    P_min = std::min(P_min, other.P_min);
    P_max = std::max(P_max, other.P_max);
    other.reset_report_values();
}

const AnsiString& CementProgramElement::calibr_file_name() const {
    if (fluid_type >= cement::fluid_cement && fluid_type <= cement::fluid_gas_cement) return fixed.calibr_file_name;
    return fluid.calibr_file_name;
}

void CementData::enum_values(lib::options_list& list) {
    using lib::options_detailed::meta_class;
    struct Sector {
        const char* caption;
        PlanRow row;
        const char* suffix;
        const char* unit;
    };
    static const Sector sectors[] = {{"Плановый объем", plan_volume, "V", "м3"},
                                     {"Режим закачки", plan_rate, "Q", "л/с"},
                                     {"Плотность", plan_density, "Pl", "г/см3"}};
    struct Entry {
        const char* prefix;
        const char* caption;
        PlanColumn column;
    };
    static const Entry entries[] = {{"buf_plan", "Буферная жидкость", col_buffer},
                                    {"gelcem_plan", "Гель-цемент", col_gel_cement},
                                    {"cem_plan", "Цемент", col_cement},
                                    {"prod_plan", "Продавочная жидкость", col_displacement}};
    // The keys must outlive the descriptors only while the list is used;
    // they are built once.
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> k;
        for (const Sector& s : sectors)
            for (const Entry& e : entries) k.push_back(std::string(e.prefix) + s.suffix);
        return k;
    }();
    std::size_t n = 0;
    for (const Sector& s : sectors) {
        list.sector("Main", s.caption);
        for (const Entry& e : entries)
            list.add(new meta_class<float>(plan[s.row][e.column], 0.0f, keys[n++].c_str(), e.caption, s.unit, 3, 1.0));
    }
}

float CementData::plan_for_kind(PlanRow row, int kind) const {
    switch (kind) {
        case cement::kind_buffer: return plan[row][col_buffer];
        case cement::kind_cement: return plan[row][col_cement];
        case cement::kind_gel_cement: return plan[row][col_gel_cement];
        case cement::kind_gas_cement: return plan[row][col_gas_cement];
        case cement::kind_displacement: return plan[row][col_displacement];
        default: return 0.0f;
    }
}

int CementData::running_index() const { return element >= 0 && element < int(program.size()) ? element : -1; }

CementProgramElement* CementData::running_element() {
    const int i = running_index();
    return i >= 0 ? &program[std::size_t(i)] : nullptr;
}

void CementData::reset_states() {
    for (CementProgramElement& e : program) e.start_afresh();
}

void TReportOptions::enum_values(lib::options_list& list) {
    using lib::options_detailed::meta_class;
    list.sector("Report", "Скважина");
    list.add(new meta_class<double>(pore_angle, 0, "pore_angle", "Угол наклона скважины", "", 2, 1.0));
    list.add(new meta_class<double>(pore_kk, 0, "pore_kk", "Коэф. кавернозности", "", 2, 1.0));
    list.add(new meta_class<double>(*bit_diameter_, 0, "doloto_diametr", "Диаметр долота", "мм", 0, 1.0));
    list.add(new meta_class<double>(prob_v, 0, "prob_v", "Пробочный объем", "м3", 2, 1.0));
    list.add(new meta_class<double>(depth_stop, 0, "depth_stop", "Глубина 'STOP'", "м", 0, 1.0));
    list.sector("Report", "Основные");
    list.add(new meta_class<std::string>(works, "", "works", "Вид  работ"));
    list.add(new meta_class<std::string>(ist_type, "", "ist_type", "Тип источника"));
    list.add(new meta_class<std::string>(resident, "", "resident", "Представитель заказчика"));
    list.add(new meta_class<std::string>(company, "", "company", "Исполнитель работ"));
    list.add(new meta_class<std::string>(nach_otriada, "", "nach_otriada", "Начальник отряда"));
    list.add(new meta_class<std::string>(operators, "", "operators", "Операторы"));
    list.sector("Report", "Замечания и комментарии");
    static const char* const keys[4] = {"comment1", "comment2", "comment3", "comment4"};
    for (int i = 0; i < 4; ++i) list.add(new meta_class<std::string>(comment[i], "", keys[i], "Комментарий"));
}

int ChartPoints::column_index(const AnsiString& name) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i] == name) return int(i);
    return -1;
}

void ChartPoints::set_default_columns() { columns = cement::default_columns(); }
