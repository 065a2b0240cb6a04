#pragma once
// The selection window of the packing program: one well's data as a tree of
// choices (all data, single trips checked by a press on the selected trip,
// hour windows of the last four days), a summary of the choice beside the
// operator's note, and "Сжать", which packs the choice under a name made of
// the area, the well and the choice.
//
// The well is the station's current one (global.ini beside the program),
// its data the folder of that name beside the program. While a packing run
// goes on, the window's commands are disabled and it cannot be closed.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/edits.h"
#include "platform/ui/forms.h"
#include "platform/ui/img_list.h"
#include "platform/ui/menus.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/tree_view.h"
#include "programs/vargel2/configuration.h"
#include "programs/vargel2/run_state.h"

namespace vargel2 {

class TProgressForm;

class TMainForm : public ui::TForm {
public:
    struct NODE_INFO {
        std::int32_t race = -1;  // trip number; -1 when not a trip node
        bool checked = false;
        bool all_data = false;
        std::int32_t days_back = 0;  // 0 today
        std::int32_t start_hour = 0;
        std::int32_t end_hour = 0;
    };

    // `now` gives the current time on the data's time scale (the local
    // clock unless a test sets one).
    TMainForm(ui::TComponent* owner, Configuration& options, TProgressForm* progress,
              std::function<std::uint32_t()> now = {});
    ~TMainForm() override;

    ui::TMainMenu* MainMenu1;
    ui::TMenuItem* mnuData;
    ui::TMenuItem* mnuCompress;
    ui::TMenuItem* mnuOptions;
    ui::TMenuItem* mnuExit;
    ui::TMenuItem* mnuView;
    ui::TMenuItem* mnuRefresh;
    ui::TMenuItem* mnuHelp;
    ui::TMenuItem* mnuAbout;
    ui::TGroupBox* gbTime;
    ui::TTreeView* TreeView1;
    ui::TImageList* ImageList1;
    ui::TGroupBox* gbNotes;
    ui::TMemo* memSelInfo;
    ui::TMemo* memUserText;

    // Trip numbers of the data folder: "*.rac", then "????.realtim", each
    // name read as a decimal number; ascending, each once.
    std::vector<std::int32_t> trip_numbers() const;
    void build_tree();
    // The range of the selected node into the run state.
    void update_range();
    void update_menu();
    void update_summary();
    std::string selection_text() const;
    // Toggles the check mark of a trip node.
    void toggle_trip(ui::TTreeNode* node);
    // The compress command: fills the run state's note and package and
    // starts the run in the progress window.
    void compress();
    void refresh();
    void options_dialog();
    void about();

    // Called by the progress window when a run starts and ends.
    void set_busy(bool busy);
    // Keeps the window's place, size and state in the options file (done
    // when the window closes; the next start restores them).
    void save_place();

    RunState& run_state() { return state_; }
    static NODE_INFO* info(const ui::TTreeNode* node);

private:
    void make_images();
    Configuration& options_;
    TProgressForm* progress_;
    std::function<std::uint32_t()> now_;
    RunState state_;
    bool busy_ = false;
};

}  // namespace vargel2
