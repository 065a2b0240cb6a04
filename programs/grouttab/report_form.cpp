#include "programs/grouttab/report_form.h"

#include <exception>

#include "platform/os/desktop.h"
#include "platform/os/directory.h"
#include "platform/os/file_copy.h"
#include "platform/os/paths.h"
#include "platform/ui/application.h"
#include "programs/grouttab/oo_calc_auto.h"
#include "programs/grouttab/report.h"
#include "programs/grouttab/uno_server.h"

namespace grouttab {

namespace {

widrak::TMyButton* make_button(TReportForm* form, const char* caption, int left) {
    auto* b = new widrak::TMyButton(form);
    b->SetParent(form);
    b->SetType(widrak::mbtSimple);
    b->SetModalResult(widrak::mbmrOk);
    b->SetDefaultColor(ui::clLime);
    b->SetCaption(caption);
    b->SetBounds(left, 112, 111, 31);
    return b;
}

ui::TLabel* make_label(TReportForm* form, const char* caption, int top) {
    auto* l = new ui::TLabel(form);
    l->SetParent(form);
    l->SetAutoSize(false);
    l->SetAlignment(ui::taRightJustify);
    l->Font().SetStyle(ui::TFontStyles{ui::fsBold});
    l->SetCaption(caption);
    l->SetBounds(8, top, 81, 16);
    return l;
}

ui::TComboBox* make_combo(TReportForm* form, int top) {
    auto* c = new ui::TComboBox(form);
    c->SetParent(form);
    c->SetStyle(ui::csDropDown);
    c->SetSorted(false);
    c->SetBounds(96, top, 313, 21);
    return c;
}

std::string program_folder() { return os::program_dir(); }

}  // namespace

std::string wanted_well(const std::vector<std::string>& arguments) {
    std::string line;
    for (const auto& a : arguments) {
        if (!line.empty()) line += ' ';
        line += a;
    }
    const auto at = line.find("-p");
    if (at == std::string::npos) return {};
    const auto start = at + 2;
    const auto end = line.find(' ', start);
    std::string name = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    return is_plain_name(name) ? name : std::string();
}

TReportForm::TReportForm(ui::TComponent* owner, std::vector<std::string> arguments, ReportSettings settings)
    : ui::TForm(owner), arguments_(std::move(arguments)), settings_(std::move(settings)) {
    if (!settings_.server) settings_.server = office_server_factory();
    SetCaption("Отчет по цементированию");
    SetBorderStyle(ui::bsSingle);
    SetPosition(ui::poScreenCenter);
    Font().SetName("MS Sans Serif");
    Font().SetHeight(-13);
    SetClientWidth(417);
    SetClientHeight(150);

    btnOk = make_button(this, "Таблица", 8);
    cbPore = make_combo(this, 17);
    Label47 = make_label(this, "Скважина:", 21);
    Label1 = make_label(this, "Ступень:", 53);
    cbStupen = make_combo(this, 49);
    MyButton1 = make_button(this, "Выход", 298);
    MyButton2 = make_button(this, "Диаграмма", 153);
    pbOO = new ui::TProgressBar(this);
    pbOO->SetParent(this);
    pbOO->SetBounds(8, 80, 353, 17);
    lblProgress = new ui::TLabel(this);
    lblProgress->SetParent(this);
    lblProgress->SetAutoSize(false);
    lblProgress->SetAlignment(ui::taRightJustify);
    lblProgress->SetBounds(365, 81, 44, 16);
    lblProgress->SetCaption("");
    lblNotice = new ui::TLabel(this);
    lblNotice->SetParent(this);
    lblNotice->SetName("lblNotice");
    lblNotice->SetVisible(false);

    btnOk->SetTabOrder(0);
    cbPore->SetTabOrder(1);
    cbStupen->SetTabOrder(2);
    MyButton1->SetTabOrder(3);
    MyButton2->SetTabOrder(4);
    pbOO->SetTabOrder(5);

    cbPore->OnChange = [this](ui::TObject* s) { cbPoreChange(s); };
    btnOk->OnClick = [this](ui::TObject* s) { btnOkClick(s); };
    MyButton1->OnClick = [this](ui::TObject* s) { MyButton1Click(s); };
    MyButton2->OnClick = [this](ui::TObject* s) { MyButton2Click(s); };

    const int index = fill_well_list(cbPore->Items());
    if (index >= 0) cbPore->SetItemIndex(index < cbPore->Items().Count() ? index : -1);
    cbPoreChange(this);
    show_notice(start_notice());
}

TReportForm::~TReportForm() = default;

int TReportForm::fill_well_list(ui::TStrings& list) {
    list.Clear();
    const std::string wanted = wanted_well(arguments_);
    int index = -1;
    const std::string folder = program_folder();
    for (const auto& e : os::find_entries(folder + "/*.*", os::fa_directory)) {
        if (!(e.attributes & os::fa_directory)) continue;
        const std::string well = folder + "/" + e.name;
        if (!os::file_exists(well + "/inpgti.ini") || !os::file_exists(well + "/cement/cement.ini")) continue;
        list.Add(e.name);
        if (!wanted.empty() && e.name == wanted) index = list.Count() - 1;
    }
    return index < 0 ? 0 : index;
}

std::string TReportForm::start_notice() const {
    const std::string folder = program_folder();
    const std::string wanted = wanted_well(arguments_);
    std::string notice;
    bool found = false;
    for (int i = 0; i < cbPore->Items().Count(); ++i) found = found || cbPore->Items()[i] == wanted;
    if (!wanted.empty() && !found) {
        const std::string well = folder + "/" + wanted;
        std::string cause;
        if (!os::path_exists(well))
            cause = "в папке " + folder + " нет папки " + wanted;
        else if (!os::file_exists(well + "/inpgti.ini"))
            cause = "в папке " + well + " нет файла inpgti.ini";
        else
            cause = "в папке " + well + " нет файла cement/cement.ini";
        notice = "Скважина \"" + wanted + "\" не найдена: " + cause + ".";
        if (cbPore->Items().Count() > 0) notice += " Выбрана скважина \"" + cbPore->Text() + "\".";
    }
    if (cbPore->Items().Count() == 0) {
        if (!notice.empty()) notice += "\n";
        notice += "Скважины не найдены: в папке " + folder +
                  " нет ни одной папки скважины (с файлами inpgti.ini и cement/cement.ini).";
    }
    return notice;
}

// The window grows by the notice's lines, so the designed part of it stays
// where the user knows it.
void TReportForm::show_notice(const std::string& text) {
    if (text.empty()) {
        lblNotice->SetVisible(false);
        lblNotice->SetCaption("");
        SetClientHeight(150);
        return;
    }
    lblNotice->SetWordWrap(true);
    lblNotice->SetAutoSize(true);
    lblNotice->SetBounds(8, 152, 401, 16);
    lblNotice->SetCaption(text);
    lblNotice->SetVisible(true);
    SetClientHeight(lblNotice->Top() + lblNotice->Height() + 8);
}

void TReportForm::fill_stage_list(ui::TStrings& list, const std::string& well) {
    list.Clear();
    if (!is_plain_name(well)) return;
    const std::string mask = program_folder() + "/" + well + "/cement/cement_program_*.rpt";
    for (const auto& e : os::find_entries(mask, os::fa_any)) {
        const std::string rest = e.name.size() > 15 ? e.name.substr(15) : std::string();
        list.Add(rest.substr(0, rest.find('.')));
    }
}

void TReportForm::cbPoreChange(ui::TObject*) {
    fill_stage_list(cbStupen->Items(), cbPore->Text());
    cbStupen->SetItemIndex(cbStupen->Items().Count() - 1);
    if (cbStupen->Items().Count() == 0) cbStupen->SetText("");
}

void TReportForm::btnOkClick(ui::TObject*) {
    try {
        make_report(*this, cbPore->Text(), cbStupen->Text());
    } catch (const std::exception& e) {
        ui::Application().HandleException(e);
    }
}

void TReportForm::MyButton1Click(ui::TObject*) { Close(); }

void TReportForm::MyButton2Click(ui::TObject*) {
    const std::string well = cbPore->Text();
    const std::string stage = cbStupen->Text();
    if (!is_plain_name(well) || !is_plain_name(stage)) return;
    const std::string folder = program_folder();
    const std::string report_folder = folder + "/" + well + "/cement/report/";
    const std::string data_file = report_folder + well + "_" + stage + ".realtim";
    // The viewer finds its screen layout beside the data; a layout the user
    // has changed there is kept.
    os::copy_file(folder + "/params/cement/last.tvscr", report_folder + "last.tvscr", true);
    os::open_document(data_file);
}

}  // namespace grouttab
