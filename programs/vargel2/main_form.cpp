#include "programs/vargel2/main_form.h"

#include <algorithm>
#include <memory>

#include "library/controls/control_helpers.h"
#include "library/controls/window_state.h"
#include "library/file_finder.h"
#include "library/plugin_manager.h"
#include "library/time_conv.h"
#include "library/version_text.h"
#include "library/well_files.h"
#include "platform/rtl/ini_file.h"
#include "platform/ui/application.h"
#include "programs/vargel2/opt_form.h"
#include "programs/vargel2/progress_form.h"

namespace vargel2 {

namespace {

constexpr int kImageWell = 0, kImageFolder = 1, kImageItem = 2, kImageChecked = 4;

void set_image(ui::TTreeNode* node, int image) {
    node->SetImageIndex(image);
    node->SetSelectedIndex(image);
}

ui::TMenuItem* menu_item(ui::TComponent* owner, ui::TMenuItem* parent, const char* caption) {
    auto* item = new ui::TMenuItem(owner);
    item->SetCaption(caption);
    parent->Add(item);
    return item;
}

// The about window's text; the year and the build date fill its
// placeholders.
const char kAboutText[] =
    "Передача данных системы Норкан-1\n"
    "\n"
    "Упаковка и отправка данных ТИ/ГТИ по скважине.\n"
    "Версия {VERSION}, собрана {BUILD_DATE}.\n"
    "\n"
    "(c) {YEAR}";

std::string replace_all(std::string text, const std::string& what, const std::string& with) {
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
        text.replace(at, what.size(), with);
    }
    return text;
}

}  // namespace

TMainForm::NODE_INFO* TMainForm::info(const ui::TTreeNode* node) {
    return node ? static_cast<NODE_INFO*>(node->Data()) : nullptr;
}

TMainForm::TMainForm(ui::TComponent* owner, Configuration& options, TProgressForm* progress,
                     std::function<std::uint32_t()> now)
    : ui::TForm(owner), options_(options), progress_(progress), now_(std::move(now)) {
    if (!now_) now_ = [] { return lib::get_local_time(); };
    SetCaption("Передача данных системы Норкан-1");
    SetPosition(ui::poScreenCenter);
    Font().SetName("MS Sans Serif");
    Font().SetHeight(-11);
    SetClientWidth(560);
    SetClientHeight(360);

    MainMenu1 = new ui::TMainMenu(this);
    mnuData = menu_item(this, MainMenu1->Items(), "Данные");
    mnuCompress = menu_item(this, mnuData, "Сжать");
    mnuCompress->SetShortCut(ui::TextToShortCut("Alt+T"));
    mnuOptions = menu_item(this, mnuData, "Настроить программу...");
    menu_item(this, mnuData, "-");
    mnuExit = menu_item(this, mnuData, "Выход");
    mnuView = menu_item(this, MainMenu1->Items(), "Вид");
    mnuRefresh = menu_item(this, mnuView, "Обновить");
    mnuRefresh->SetShortCut(ui::TextToShortCut("F5"));
    mnuHelp = menu_item(this, MainMenu1->Items(), "Справка");
    mnuAbout = menu_item(this, mnuHelp, "О программе...");
    SetMenu(MainMenu1);

    gbTime = new ui::TGroupBox(this);
    gbTime->SetParent(this);
    gbTime->SetCaption("  Промежуток времени");
    gbTime->SetBounds(4, 4, 236, 352);
    gbTime->SetAlign(ui::alLeft);
    TreeView1 = new ui::TTreeView(gbTime);
    TreeView1->SetParent(gbTime);
    TreeView1->SetAlign(ui::alClient);
    TreeView1->SetReadOnly(true);
    TreeView1->SetIndent(20);
    TreeView1->SetHideSelection(false);
    ImageList1 = new ui::TImageList(this);
    make_images();
    TreeView1->SetImages(ImageList1);

    gbNotes = new ui::TGroupBox(this);
    gbNotes->SetParent(this);
    gbNotes->SetCaption("  Примечания оператора");
    gbNotes->SetAlign(ui::alClient);
    memSelInfo = new ui::TMemo(gbNotes);
    memSelInfo->SetParent(gbNotes);
    memSelInfo->SetAlign(ui::alTop);
    memSelInfo->SetHeight(80);
    memSelInfo->SetReadOnly(true);
    memSelInfo->SetWordWrap(false);
    memSelInfo->SetTabStop(false);
    memUserText = new ui::TMemo(gbNotes);
    memUserText->SetParent(gbNotes);
    memUserText->SetAlign(ui::alClient);
    memUserText->SetScrollBars(ui::ssVertical);

    mnuCompress->OnClick = [this](ui::TObject*) { compress(); };
    mnuOptions->OnClick = [this](ui::TObject*) { options_dialog(); };
    mnuExit->OnClick = [this](ui::TObject*) { Close(); };
    mnuRefresh->OnClick = [this](ui::TObject*) { refresh(); };
    mnuAbout->OnClick = [this](ui::TObject*) { about(); };
    TreeView1->OnChange = [this](ui::TObject*, ui::TTreeNode*) {
        update_range();
        update_summary();
        update_menu();
    };
    TreeView1->OnCollapsing = [](ui::TObject*, ui::TTreeNode* node, bool& allow) {
        if (node && !node->Parent()) allow = false;
    };
    TreeView1->OnDeletion = [](ui::TObject*, ui::TTreeNode* node) {
        delete info(node);
        node->SetData(nullptr);
    };
    TreeView1->OnMouseDown = [this](ui::TObject*, ui::TMouseButton, ui::TShiftState, int x, int y) {
        ui::TTreeNode* node = TreeView1->GetNodeAt(x, y);
        if (node && node == TreeView1->Selected()) toggle_trip(node);
    };
    auto to_note = [this](ui::TObject*) {
        if (memUserText->CanFocus()) memUserText->SetFocus();
    };
    memSelInfo->OnClick = to_note;
    memSelInfo->OnEnter = to_note;
    OnCloseQuery = [this](ui::TObject*, bool& can_close) {
        if (busy_) can_close = false;
    };
    // The program ends with its window closed, its forms never destroyed:
    // the place is kept as the window goes.
    OnClose = [this](ui::TObject*, ui::TCloseAction&) { save_place(); };
    lib::colorize_form(this);

    // The start: the station's current well and its folder beside the
    // program.
    DurvalibInit(ui::Application().Handle());
    rtl::IniFile global(options_.program_folder + "/global.ini");
    state_.well_name = global.ReadString("текущие_настройки", "скважина", "NONE");
    // The well's folder as the station names it: the name taken as a path
    // could name a folder anywhere, or the program's own.
    const std::string well_folder = lib::well_folder_name(state_.well_name);
    state_.data_folder = well_folder.empty() ? std::string() : options_.program_folder + "/" + well_folder + "/";
    state_.area_name = "NONE";
    if (!state_.data_folder.empty()) {
        rtl::IniFile well(state_.data_folder + "inpgti.ini");
        state_.area_name = well.ReadString("скважина", "площадь", "NONE");
    }
    build_tree();
    try {
        rtl::IniFile ini(options_file_path(options_.program_folder));
        if (ini.SectionExists("MainForm")) {
            lib::load_window_pos(this, "MainForm", &ini);
            // Centring on the first show would move it from its stored place.
            SetPosition(ui::poDesigned);
        }
    } catch (const std::exception&) {
        // An unreadable file leaves the window where it was designed.
    }
    update_range();
    update_menu();
    memSelInfo->Lines().Clear();
    memUserText->Lines().Clear();
}

void TMainForm::save_place() {
    try {
        rtl::IniFile ini(options_file_path(options_.program_folder));
        lib::save_window_pos(this, "MainForm", &ini);
    } catch (...) {
        // The place of the window is not worth a failure at the end.
    }
}

TMainForm::~TMainForm() {
    TreeView1->OnChange = nullptr;
    TreeView1->OnMouseDown = nullptr;
    TreeView1->Items().Clear();
}

void TMainForm::make_images() {
    ImageList1->SetWidth(16);
    ImageList1->SetHeight(16);
    auto add = [this](const std::function<void(ui::TCanvas&)>& draw) {
        ui::TBitmap b(16, 16);
        ui::TCanvas& c = b.Canvas();
        c.Brush().SetColor(ui::clWhite);
        c.FillRect(ui::TRect{0, 0, 16, 16});
        c.Pen().SetColor(ui::clBlack);
        draw(c);
        ImageList1->AddMasked(b, ui::clWhite);
    };
    add([](ui::TCanvas& c) {  // the well: a derrick
        c.Brush().SetColor(ui::clMaroon);
        c.Polygon({ui::TPoint{7, 1}, ui::TPoint{8, 1}, ui::TPoint{13, 14}, ui::TPoint{2, 14}});
        c.MoveTo(4, 9);
        c.LineTo(11, 9);
    });
    add([](ui::TCanvas& c) {  // a group: a folder
        c.Brush().SetColor(ui::clYellow);
        c.Rectangle(1, 4, 15, 14);
        c.Rectangle(1, 2, 7, 5);
    });
    auto page = [](ui::TCanvas& c) {
        c.Brush().SetColor(ui::clSilver);
        c.Rectangle(3, 1, 13, 15);
        for (int y = 4; y < 13; y += 3) {
            c.MoveTo(5, y);
            c.LineTo(11, y);
        }
    };
    add(page);  // a choice
    add(page);
    add([page](ui::TCanvas& c) {  // a checked trip
        page(c);
        c.Pen().SetColor(ui::clGreen);
        c.Pen().SetWidth(2);
        c.Polyline({ui::TPoint{4, 8}, ui::TPoint{7, 12}, ui::TPoint{13, 3}});
    });
}

std::vector<std::int32_t> TMainForm::trip_numbers() const {
    std::vector<std::int32_t> out;
    if (state_.data_folder.empty()) return out;
    lib::FileFinder finder;
    finder.find(state_.data_folder + "*.rac", 0, false);
    finder.find(state_.data_folder + "????.realtim", 0, false);
    for (const auto& f : finder.files) {
        // A trip is numbered from 0 on; "-5.rac" names none.
        const std::int32_t n = trip_number(f.get_only_name());
        if (n >= 0) out.push_back(n);
    }
    std::sort(out.begin(), out.end());
    // A trip with both a ".rac" and a ".realtim" file is one trip.
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

void TMainForm::build_tree() {
    ui::TTreeNodes& items = TreeView1->Items();
    items.BeginUpdate();
    items.Clear();
    ui::TTreeNode* root = items.Add(nullptr, "Скважина \"" + state_.well_name + "\"");
    set_image(root, kImageWell);
    ui::TTreeNode* races = items.AddChild(root, "По рейсам");
    set_image(races, kImageFolder);
    for (auto n : trip_numbers()) {
        auto* i = new NODE_INFO;
        i->race = n;
        i->checked = std::find(state_.trips.begin(), state_.trips.end(), n) != state_.trips.end();
        set_image(items.AddChildObject(races, "Рейс #" + std::to_string(n), i),
                  i->checked ? kImageChecked : kImageItem);
    }
    ui::TTreeNode* by_time = items.AddChild(root, "По времени");
    set_image(by_time, kImageFolder);
    auto* all = new NODE_INFO;
    all->all_data = true;
    set_image(items.AddChildObject(by_time, "Все данные", all), kImageItem);
    const int period = options_.window_hours();
    const std::pair<const char*, int> days[] = {{"Поза-позавчера", 3}, {"Позавчера", 2}, {"Вчера", 1}, {"Сегодня", 0}};
    for (const auto& [text, back] : days) {
        ui::TTreeNode* day = items.AddChild(by_time, text);
        set_image(day, kImageFolder);
        for (int h = 0; h < 24; h += period) {
            auto* i = new NODE_INFO;
            i->days_back = back;
            i->start_hour = h;
            i->end_hour = h + period;
            set_image(items.AddChildObject(day, std::to_string(h) + ":00 - " + std::to_string(h + period) + ":00", i),
                      kImageItem);
        }
    }
    root->Expand(false);
    items.EndUpdate();
}

void TMainForm::update_range() {
    const NODE_INFO* i = info(TreeView1->Selected());
    state_.range_start = 0;
    state_.range_end = 0;
    if (!i || i->race != -1) return;
    if (i->all_data) {
        state_.range_end = -1;
        return;
    }
    int day = 0, month = 0, year = 0, hour = 0, min = 0;
    lib::big_time(now_(), day, month, year, hour, min, nullptr);
    const std::int32_t today = lib::time_2_long(year, month, day, 0, 0, 0);
    std::int32_t shift = -i->days_back * 86400;
    if (options_.window_hours() == 24) shift += options_.from_time * 3600;
    // The scale is 32-bit and wraps as the stored counts do.
    state_.range_start = static_cast<std::int32_t>(static_cast<std::uint32_t>(today) +
                                                   static_cast<std::uint32_t>(i->start_hour * 3600 + shift));
    state_.range_end = static_cast<std::int32_t>(static_cast<std::uint32_t>(today) +
                                                 static_cast<std::uint32_t>(i->end_hour * 3600 + shift));
}

void TMainForm::update_menu() {
    mnuCompress->SetEnabled(!busy_ && (!state_.trips.empty() || state_.range_chosen()));
    for (ui::TMenuItem* m : {mnuOptions, mnuRefresh, mnuExit}) m->SetEnabled(!busy_);
}

std::string TMainForm::selection_text() const {
    if (state_.all_data()) return "Данные по скважине за всё время";
    if (!state_.trips.empty()) {
        std::string s = "Рейсы:";
        for (auto t : state_.trips) s += " " + std::to_string(t);
        return s + ";";
    }
    if (state_.range_chosen()) {
        return lib::date_to_string(static_cast<std::uint32_t>(state_.range_start)) + " - " +
               lib::date_to_string(static_cast<std::uint32_t>(state_.range_end));
    }
    return "ПРОМЕЖУТОК ВРЕМЕНИ НЕ ВЫБРАН...";
}

void TMainForm::update_summary() {
    ui::TStrings& lines = memSelInfo->Lines();
    lines.BeginUpdate();
    lines.Clear();
    lines.Add("*** Данные ТИ/ГТИ системы \"Норкан 32\" ***");
    lines.Add("СКВАЖИНА: \t\"" + state_.well_name + "\"");
    lines.Add("ПЛОЩАДЬ:  \t\"" + state_.area_name + "\"");
    lines.Add("ДАННЫЕ:   \t" + selection_text());
    lines.EndUpdate();
}

void TMainForm::toggle_trip(ui::TTreeNode* node) {
    NODE_INFO* i = info(node);
    if (!i || i->race == -1 || busy_) return;
    i->checked = !i->checked;
    if (i->checked) {
        state_.trips.push_back(i->race);
        std::sort(state_.trips.begin(), state_.trips.end());
    } else {
        auto at = std::find(state_.trips.begin(), state_.trips.end(), i->race);
        if (at != state_.trips.end()) state_.trips.erase(at);
    }
    set_image(node, i->checked ? kImageChecked : kImageItem);
    update_summary();
    update_menu();
}

void TMainForm::compress() {
    if (busy_ || !progress_ || (state_.trips.empty() && !state_.range_chosen())) return;
    state_.destination_folder = options_.resolve_folder(options_.destination_path);
    state_.operator_note = memSelInfo->Lines().Text() + "\r\n" + memUserText->Lines().Text();
    state_.package_path = package_path(state_.destination_folder, state_);
    state_.masks.clear();
    progress_->start_run(state_, options_.values());
}

void TMainForm::refresh() {
    if (busy_) return;
    state_.trips.clear();
    build_tree();
    update_range();
    update_summary();
    update_menu();
}

void TMainForm::options_dialog() {
    if (busy_) return;
    TOptForm dialog(nullptr, options_);
    if (!dialog.execute()) return;
    build_tree();
    update_range();
    update_summary();
    update_menu();
}

void TMainForm::about() {
    ui::TForm box(nullptr);
    box.SetCaption("О программе");
    box.SetBorderStyle(ui::bsDialog);
    box.SetPosition(ui::poScreenCenter);
    box.SetClientWidth(360);
    box.SetClientHeight(170);
    auto* text = new ui::TMemo(&box);
    text->SetParent(&box);
    text->SetBounds(8, 8, 344, 118);
    text->SetReadOnly(true);
    int day = 0, month = 0, year = 0, hour = 0, min = 0;
    lib::big_time(now_(), day, month, year, hour, min, nullptr);
    std::string s = replace_all(kAboutText, "{YEAR}", std::to_string(year));
    s = replace_all(s, "{BUILD_DATE}", __DATE__);
    s = replace_all(s, "{VERSION}", lib::version_text());
    text->Lines().SetText(s);
    auto* ok = new ui::TButton(&box);
    ok->SetParent(&box);
    ok->SetCaption("OK");
    ok->SetBounds(138, 134, 84, 27);
    ok->SetDefault(true);
    ok->SetCancel(true);
    ok->SetModalResult(ui::mrOk);
    lib::colorize_form(&box);
    box.ShowModal();
}

void TMainForm::set_busy(bool busy) {
    busy_ = busy;
    update_menu();
}

}  // namespace vargel2
