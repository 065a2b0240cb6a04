// The members of StringContainer that write and read numbers, through the
// run-time library's number text so that every file gets the same forms.
#include "library/string_container.h"

#include "library/number_conv.h"
#include "platform/rtl/numbers.h"

namespace lib {

void StringContainer::add(double v) { list_.Add(rtl::FloatToStr(v)); }

void StringContainer::set_float(int i, double v) { set_string(i, rtl::FloatToStr(v)); }

double StringContainer::get_float(int i) { return static_cast<double>(str_to_float(get_string(i), 0.0f)); }

int StringContainer::get_int(int i, int def) { return rtl::StrToIntDef(get_string(i), def); }

}  // namespace lib
