#pragma once
// The ready-made settings dialog: any options object edited in one grid
// (number, name, unit, value; a heading row per sector) with OK, Cancel and
// an optional Help button. The values reach the object only on OK (or when
// the caller calls read_data); Cancel leaves it as it was.
//
//   TSimpleOptsForm dlg(nullptr, settings, [] { lib::get_html_help().show_help_topic("settings"); });
//   dlg.read_only_list().sector("main");
//   dlg.read_only_list().add("serial");
//   if (dlg.execute("Настройки")) settings.save_to_ini(file);
//
// The options object must outlive the dialog: the grid's descriptors point
// into its variables. Other deliverables that must not know the form class
// use SimpleOptsHelper, or create_simple_opt_form and
// read_data_from_opt_form.

#include <functional>
#include <memory>
#include <string>

#include "library/options/grid_options.h"
#include "library/options/options.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"
#include "widrak/my_grid.h"

// The help function of a dialog: shows the dialog's help page; may be empty.
using HelpFunction = std::function<void()>;

class TSimpleOptsForm : public ui::TForm {
public:
    TSimpleOptsForm(ui::TComponent* owner, lib::options_base& options, HelpFunction help = {});
    ~TSimpleOptsForm() override;

    // Shows the dialog modally with the caption; true when it was closed
    // with OK, the values then written back.
    bool execute(const std::string& caption);
    // Rebuilds the option list from the options object and shows it.
    void fill();
    // Writes the grid's values back into the options object.
    void read_data();

    // The grid editor's name lists, filled before execute.
    lib::grid_options_list& black_list() { return editor->black_list(); }
    lib::grid_options_list& white_list() { return editor->white_list(); }
    lib::grid_options_list& read_only_list() { return editor->read_only_list(); }
    lib::grid_options& grid_editor() { return *editor; }

    // Every row as high as its text.
    void resize_rows();
    // The window as large as the grid (at most two thirds of the screen's
    // height and eleven twelfths of its width, the grid scrolling beyond),
    // in the middle of the screen.
    void resize_window();

    void FormShow(ui::TObject* sender);
    void btnHelpClick(ui::TObject* sender);

    widrak::TMyGrid* Grid;
    ui::TPanel* pnlBottom;
    ui::TButton* btnHelp;
    ui::TButton* btnOk;
    ui::TButton* btnCancel;

private:
    lib::options_list list;
    lib::options_base& options;
    HelpFunction help;
    std::unique_ptr<lib::grid_options> editor;
};

// Owns one dialog (no owner component: the helper frees it).
class SimpleOptsHelper {
public:
    SimpleOptsHelper(ui::TComponent* owner, lib::options_base& options, HelpFunction help = {});
    ~SimpleOptsHelper();
    SimpleOptsHelper(const SimpleOptsHelper&) = delete;
    SimpleOptsHelper& operator=(const SimpleOptsHelper&) = delete;

    bool execute(const std::string& caption) { return form->execute(caption); }
    void fill() { form->fill(); }
    void read_data() { form->read_data(); }
    lib::grid_options_list& black_list() { return form->black_list(); }
    lib::grid_options_list& white_list() { return form->white_list(); }
    lib::grid_options_list& read_only_list() { return form->read_only_list(); }
    TSimpleOptsForm* get_form() const { return form.get(); }

private:
    std::unique_ptr<TSimpleOptsForm> form;
};

// The dialog as constructed: not filled yet, its buttons hidden (only
// execute shows them). The owner frees it, or the caller deletes it.
ui::TForm* create_simple_opt_form(ui::TComponent* owner, lib::options_base& options, HelpFunction help = {});
// Writes the values of a dialog made by create_simple_opt_form back; throws
// std::logic_error ("read_data_from_opt_form: form") for any other control.
void read_data_from_opt_form(ui::TControl* control);
