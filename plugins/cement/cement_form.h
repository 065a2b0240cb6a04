#pragma once
// TCementForm: the cementing monitor window. On the left the programme with
// each element's state, the live values (pressure and stage volume blink
// when over their limits), the current element, the chart's time scale and
// the operator's buttons; on the right the curves of the stage with the
// elements run so far as coloured bands, and the well profile, or the error
// text when the well's construction gives no profile.
//
// The window owns no job data: it reads the programme and the curve points
// the plug-in keeps (main thread only) and shows the copies of the live
// values and the sections the plug-in hands it after every command and data
// cycle. It never reads the acquisition side directly.

#include <functional>
#include <string>

#include "library/graphics/planshet.h"
#include "platform/ui/forms.h"
#include "plugins/cement/cement_data.h"
#include "plugins/cement/cement_sections.h"

namespace ui {
class TButton;
class TComboBox;
class TGroupBox;
class TLabel;
class TPaintBox;
class TPanel;
class TScrollBar;
class TStringGrid;
}  // namespace ui

// The live values and the well as the plug-in last published them.
struct CementLiveData;

class TCementForm : public ui::TForm {
public:
    TCementForm(ui::TComponent* owner, CementData& job, ChartPoints& points);
    // Whoever frees the window (the plug-in, or the host's page first) tells
    // the plug-in through on_destroy. The chart's settings are saved first.
    ~TCementForm() override;
    std::function<void()> on_destroy;

    // The programme's buttons, captions, element states and the alarms.
    void show_programme();
    // The refresh of event 3: the data cycles refresh the window already.
    void refresh() {}
    // The six value indicators from the published snapshot.
    void update_values(const CementLiveData& live);
    void show_sections(const SectionsResult& sections);
    void show_error();
    // What the plug-in could not write; empty hides the line.
    void show_unwritten(const std::string& text);
    // The chart's scroll range after its data or size changed.
    void update_scroll_bar();
    // The points grew: a new scroll range, a new picture.
    void chart_changed();
    // The scale of cbxScale's selection.
    void apply_scale();

    lib::graphics::Planshet& chart() { return chart_; }
    // The buttons' commands, bound to the plug-in's dispatcher.
    std::function<void(int)> on_command;

    // Seconds per chart unit of the scale list, in its order.
    static const int scale_seconds[12];
    // The band colour of a stage kind.
    static ui::TColor band_color(int kind);
    // The programme row colour of an element state.
    static ui::TColor state_color(int state);

    ui::TGroupBox* pnlProgram;
    ui::TStringGrid* grdShowProgram;
    ui::TPanel* pnlValues;
    ui::TPanel* tiP;
    ui::TPanel* tiPl;
    ui::TPanel* tiT;
    ui::TPanel* tiQ;
    ui::TPanel* tiV;
    ui::TPanel* tiVsumm;
    ui::TPanel* tiCurrentProgram;
    ui::TComboBox* cbxScale;
    ui::TButton* btnOptions;
    ui::TButton* btnNextProgram;
    ui::TButton* btnReport;
    ui::TButton* btnPrevProgram;
    ui::TGroupBox* pnlResult;
    ui::TScrollBar* sbarVert;
    ui::TPanel* ResultsPanel;
    ui::TStringGrid* grdSections;
    ui::TPaintBox* pbCementCurve;
    ui::TLabel* lblError;
    ui::TLabel* lblUnwritten;
    // Shown while the station's line is silent, with the time it fell so.
    ui::TLabel* lblLine;

    // What the window shows: the last sections, or the error view, and the
    // last values it was handed.
    SectionsResult shown_sections;
    bool error_shown = false;
    float shown_values[6] = {};
    // The values are the last the station gave before its line fell silent
    // (grey). The alarms blink by the seconds of os::clock().
    bool stale = false;
    static constexpr ui::TColor stale_color = 0x808080;

private:
    void build_chart();
    void paint_bands(ui::TCanvas* canvas, const ui::TRect& r);
    void layout_sections();
    void alarm(ui::TPanel* indicator, ui::TColor base, bool on);
    std::string settings_path() const;

    CementData& job_;
    ChartPoints& points_;
    lib::graphics::Planshet chart_;
    ui::TPoint last_mouse_{0, 0};
    bool chart_loaded_ = false;
    std::string settings_path_;
};
