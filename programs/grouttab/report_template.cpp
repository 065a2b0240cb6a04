#include "programs/grouttab/report_template.h"

#include <algorithm>

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
    row(5, {"Предыдущая колонна:", "%%prev_column", "", "Глубина, м:", "%%prev_depth", "Диаметр, мм:", "%%prev_dia"});
    row(6,
        {"Цементируемая колонна:", "%%curr_column", "", "Глубина, м:", "%%curr_depth1", "Диаметр, мм:", "%%curr_dia1"});
    row(7, {"Глубина скважины, м:", "%%pore_depth", "", "Диаметр долота, мм:", "%%doloto_diametr"});
    row(8, {"Начало:", "%%start_time", "", "Окончание:", "%%end_time", "Продавка:", "%%prodav_time"});
    row(kTemplatePlanRow, {"", "План V, м³", "Факт V, м³", "План Q, л/с", "План плотность, г/см³"});
    row(11, {"Буфер", "%%buf_planV", "%%buf_V", "%%buf_planQ", "%%buf_planPl"});
    row(12, {"Цемент", "%%cem_planV", "%%cem_V", "%%cem_planQ", "%%cem_planPl"});
    row(13, {"Гельцемент", "%%gelcem_planV", "%%gelcem_V", "%%gelcem_planQ", "%%gelcem_planPl"});
    row(14, {"Газоцемент", "%%gazocem_planV", "%%gazocem_V", "%%gazocem_planQ", "%%gazocem_planPl"});
    row(15, {"Продавка", "%%prod_planV", "%%prod_V", "%%prod_planQ", "%%prod_planPl"});
    row(16, {"Всего цемента, м³", "", "%%cem_Vsumm", "Всего, м³", "%%Vsumm"});
    row(kTemplateItemRow - 1, {"Время", "Этап", "Раствор", "V, м³", "V сумм., м³", "Q ср., л/с", "Плотность ср., г/см³",
                               "P мин., атм", "P макс., атм"});
    for (int i = 0; i < kTemplateItemRows; ++i)
        row(kTemplateItemRow + i, {"%!%start", "%!%name", "%!%rastvor_name", "%!%V_inc", "%!%Vsumm", "%!%Q_av",
                                   "%!%Pl_av", "%!%P_min", "%!%P_max"});
    const std::int32_t r = kTemplateItemRow + kTemplateItemRows + 1;
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

SheetLayout report_template_layout() {
    SheetLayout l;
    l.name = kTemplateSheetName;
    l.footer = "Отчет о цементировании скважины. Страница";
    l.landscape = true;
    // Each column as wide as its longest text (the title spans the row on
    // its own), in characters of the default font.
    std::vector<std::size_t> chars;
    for (const auto& c : report_template_cells()) {
        if (c.row == 0) continue;
        if (chars.size() <= std::size_t(c.column)) chars.resize(std::size_t(c.column) + 1, 0);
        std::size_t n = 0;
        for (unsigned char b : c.text) n += (b & 0xC0) != 0x80;
        chars[std::size_t(c.column)] = std::max(chars[std::size_t(c.column)], n);
    }
    // A few characters more: the values that replace a token (a fluid's
    // name, a column's) run longer than it.
    for (std::size_t n : chars) l.column_widths.push_back(std::int32_t((std::max<std::size_t>(n, 6) + 6) * 200));
    l.framed = {{0, kTemplatePlanRow, 4, kTemplatePlanRow + 6},
                {0, kTemplateItemRow - 1, 8, kTemplateItemRow + kTemplateItemRows - 1}};
    l.bold_rows = {0, kTemplatePlanRow, kTemplateItemRow - 1};
    return l;
}

void write_report_template(OOCalcAuto& oo, const std::string& path) {
    oo.open_document(true, "");
    oo.select_sheet_by_index(0);
    for (const auto& c : report_template_cells()) oo.set_cell_string(c.column, c.row, c.text);
    oo.set_sheet_layout(0, report_template_layout());
    oo.store_document(path, 1);
    oo.close_document();
}

}  // namespace grouttab
