#include "plugins/pult/pult_options.h"

#include "library/options/ini_options.h"

namespace pult {

AnsiString default_text_variants() {
    static const char* const phrases[] = {time_placeholder,
                                          "А где все ?",
                                          "Авария",
                                          "Автобус ждёт",
                                          "Буровая падает",
                                          "Водка стынет",
                                          "Гляди в оба",
                                          "Грузи больше",
                                          "Грузи меньше",
                                          "Здесь нефти нет и не будет",
                                          "Иди к мастеру",
                                          "Куда ты прёшь",
                                          "Не спать !!!",
                                          "Обед",
                                          "Опохмелись",
                                          "Перекур на 5 минут...",
                                          "Спасайся кто может !!!",
                                          "Так держать"};
    // Every phrase quoted, as the stations store the list.
    AnsiString list;
    for (const char* p : phrases) {
        if (!list.empty()) list += ',';
        list += '"';
        list += p;
        list += '"';
    }
    return list;
}

}  // namespace pult

void PultOptions::bind(lib::ini_options_elements& list) {
    const char* s = pult::options_section;
    list.add(text_param, s, "text_param");
    list.add(text, s, "text");
    list.add(light, s, "light");
    // The enumerations keep their raw four bytes, as the stations store them.
    list.add_pod(&degaz_cont_type, sizeof degaz_cont_type, s, "degaz_cont_type");
    list.add_pod(&indi_depth, sizeof indi_depth, s, "indi_depth");
    list.add(indi_level, s, "indi_level");
    list.add(indi_plotn, s, "indi_plotn");
    list.add_pod(&indi_gaz, sizeof indi_gaz, s, "indi_gaz");
    list.add(degaz_on, s, "degaz_on");
    list.add(text_variants, s, "text_variants");
    list.add(have_to_send_indi, s, "have_to_send_indi");
    list.add(use_volt_check, s, "use_volt_check");
}
