#pragma once
// The well data of the station: the well's descriptive options, its
// construction and its drill string, saved together in one INI file. It
// gives the mud volume of the well and of the annulus, and divides the well
// into sections of constant string and hole diameter for the flow and volume
// calculations of the cementing job, and draws the well with the string
// inside it.

#include <memory>
#include <vector>

#include "gti/registr_old/InstrPipes/instr_items.h"
#include "gti/registr_old/pore_construction.h"
#include "gti/registr_old/pore_options.h"
#include "library/options/ini_options.h"
#include "platform/rtl/colors.h"

namespace ui {
class TCanvas;
struct TRect;
}  // namespace ui

namespace pore {

// One section of the well.
struct PoreSection {
    float instr_diam = 0;  // outer diameter of the string, mm (0: no string)
    float pore_diam = 0;   // bore diameter, mm (0: no construction element)
    float top = 0;         // m
    float bottom = 0;      // m

    bool len_is_null() const;
};

class PoreOpt : public lib::ini_options {
public:
    PoreOpt();
    ~PoreOpt() override;
    PoreOpt(const PoreOpt&) = delete;
    // Copies the contents of the three parts; each object keeps its own.
    PoreOpt& operator=(const PoreOpt& other);

    Options* get_options() { return options_.get(); }
    const Options* get_options() const { return options_.get(); }
    Construction* get_construction() { return construction_.get(); }
    const Construction* get_construction() const { return construction_.get(); }
    instr::Items* get_instr() { return instr_.get(); }
    const instr::Items* get_instr() const { return instr_.get(); }

    // In this order: the well options, the construction's list, the drill
    // string's list and its two options.
    void save_additional_info(rtl::IniFile* ini) override;
    void load_additional_info(rtl::IniFile* ini) override;

    // The mud in the well with `count` units and then `pipes` pipes of the
    // string in the hole; never negative.
    float get_volume(int count, int pipes, float k) const;
    // The annulus: the well less everything the whole string encloses;
    // never negative.
    float get_zatrub_volume(float depth, float k) const;

    // The well from the surface down to `depth` (cut to the construction's
    // total length) as sections without gaps, split wherever the string or
    // the bore changes. Without with_bit the bit is left out and the string
    // above it is laid from `depth` upward.
    void divide_to_sections(std::vector<PoreSection>& out, float depth, bool with_bit) const;

    // The well in rect: the rock hatched in a light tint of
    // construction_colour, the construction in construction_colour over a
    // white bore (its real bore hatched when `hatch`), and the string inside
    // in string_colour with element `mark` in mark_colour; the deeper and
    // wider of the construction and the string fill the height and width
    // with small margins. Nothing is drawn without either.
    void draw(ui::TCanvas* canvas, const ui::TRect& rect, rtl::TColor back, rtl::TColor construction_colour,
              rtl::TColor string_colour, rtl::TColor mark_colour, int mark, bool hatch) const;

private:
    std::unique_ptr<Options> options_;
    std::unique_ptr<Construction> construction_;
    std::unique_ptr<instr::Items> instr_;
};

}  // namespace pore
