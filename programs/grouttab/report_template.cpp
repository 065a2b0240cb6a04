#include "programs/grouttab/report_template.h"

#include "programs/grouttab/oo_calc_auto.h"

namespace grouttab {

namespace {

std::vector<TemplateCell> make_cells() {
    std::vector<TemplateCell> cells;
    auto row = [&](std::int32_t r, std::initializer_list<const char*> texts) {
        std::int32_t c = 0;
        for (const char* t : texts) {
            if (*t) cells.push_back({c, r, t});
            ++c;
        }
    };
    row(0, {"Отчет о цементировании скважины"});
    row(1, {"Дата:", "%%date", "", "Площадь:", "%%area"});
    row(2, {"Скважина:", "%%name", "", "Куст:", "%%kust"});
    row(3, {"Заказчик:", "%%customer", "", "Категория:", "%%category"});
    row(4, {"Партия ГТИ:", "%%партия_ГТИ", "", "Начальник партии:", "%%начальник_партии"});
    row(5, {"Предыдущая колонна:", "%%prev_column", "", "Глубина:", "%%prev_depth", "Диаметр:", "%%prev_dia"});
    row(6, {"Цементируемая колонна:", "%%curr_column", "", "Глубина:", "%%curr_depth1", "Диаметр:", "%%curr_dia1"});
    row(7, {"Глубина скважины:", "%%pore_depth", "", "Диаметр долота:", "%%doloto_diametr"});
    row(8, {"Начало:", "%%start_time", "", "Окончание:", "%%end_time", "Продавка:", "%%prodav_time"});
    row(10, {"", "План V", "Факт V", "План Q", "План плотность"});
    row(11, {"Буфер", "%%buf_planV", "%%buf_V", "%%buf_planQ", "%%buf_planPl"});
    row(12, {"Цемент", "%%cem_planV", "%%cem_V", "%%cem_planQ", "%%cem_planPl"});
    row(13, {"Гельцемент", "%%gelcem_planV", "%%gelcem_V", "%%gelcem_planQ", "%%gelcem_planPl"});
    row(14, {"Газоцемент", "%%gazocem_planV", "%%gazocem_V", "%%gazocem_planQ", "%%gazocem_planPl"});
    row(15, {"Продавка", "%%prod_planV", "%%prod_V", "%%prod_planQ", "%%prod_planPl"});
    row(16, {"Всего цемента", "", "%%cem_Vsumm", "Всего", "%%Vsumm"});
    row(18, {"Время", "Этап", "Раствор", "V", "V сумм.", "Q ср.", "Плотность ср.", "P мин.", "P макс."});
    for (int i = 0; i < kTemplateItemRows; ++i)
        row(19 + i, {"%!%start", "%!%name", "%!%rastvor_name", "%!%V_inc", "%!%Vsumm", "%!%Q_av", "%!%Pl_av",
                     "%!%P_min", "%!%P_max"});
    const std::int32_t r = 19 + kTemplateItemRows + 1;
    row(r, {"Примечания:", "%%comment1"});
    row(r + 1, {"", "%%comment2"});
    row(r + 2, {"", "%%comment3"});
    row(r + 3, {"", "%%comment4"});
    row(r + 5, {"Начальник отряда:", "%%nach_otriada", "", "Операторы:", "%%operators"});
    row(r + 6, {"Представитель заказчика:", "%%resident", "", "Компания:", "%%company"});
    return cells;
}

}  // namespace

const std::vector<TemplateCell>& report_template_cells() {
    static const std::vector<TemplateCell> cells = make_cells();
    return cells;
}

void write_report_template(OOCalcAuto& oo, const std::string& path) {
    oo.open_document(true, "");
    oo.select_sheet_by_index(0);
    for (const auto& c : report_template_cells()) oo.set_cell_string(c.column, c.row, c.text);
    oo.store_document(path, 1);
    oo.close_document();
}

}  // namespace grouttab
