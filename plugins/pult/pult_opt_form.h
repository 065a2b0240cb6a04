#pragma once
// TOptForm: the console plug-in's settings dialog. It edits a copy of the
// options (the indicators' sources, the text line's source and phrases, the
// supply check) and hands it back through on_apply when closed with OK.

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/forms.h"
#include "plugins/pult/pult_options.h"

namespace ui {
class TButton;
class TCheckBox;
class TComboBox;
class TListView;
class TMenuItem;
class TPanel;
class TPopupMenu;
class TSpeedButton;
}  // namespace ui
namespace reg {
class RegPlugin;
}

class TOptForm : public ui::TForm {
public:
    // options: the copy edited; host: where the parameter table comes from.
    TOptForm(ui::TComponent* owner, PultOptions& options, reg::RegPlugin& host);

    // Loads the controls, shows the dialog modally; on OK stores them into
    // the copy, raises on_apply and returns true.
    bool execute();
    void load();
    void store();
    void update_list_buttons();
    // The page shown: 0 "Индикаторы", 1 "Текст".
    void show_page(int page);

    std::function<void(const PultOptions&)> on_apply;
    std::function<void()> on_calibrate;

    // The values beside the text sources' entries.
    std::vector<std::string> text_param_values;

    ui::TSpeedButton* btnPageIndi;
    ui::TSpeedButton* btnPageText;
    ui::TPanel* pnlIndi;
    ui::TPanel* pnlText;
    ui::TComboBox* cbxDepthIndi;
    ui::TComboBox* cbxGazIndi;
    ui::TComboBox* cbxLevelIndi;
    ui::TComboBox* cbxPlotnIndi;
    ui::TComboBox* cbTextParams;
    ui::TButton* btnDirectIndi;
    ui::TListView* lvText;
    ui::TButton* btnAddText;
    ui::TButton* btnRenameText;
    ui::TButton* btnDelText;
    ui::TPopupMenu* pmText;
    ui::TMenuItem* miAdd;
    ui::TMenuItem* miRename;
    ui::TMenuItem* miDelete;
    ui::TCheckBox* cbAlarm;
    ui::TButton* btnOk;
    ui::TButton* btnCancel;
    ui::TButton* btnHelp;

private:
    void fit_lists();
    void add_text();
    void rename_text();
    void delete_text();

    PultOptions& options_;
    reg::RegPlugin& host_;
};
