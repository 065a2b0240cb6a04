#include "gti/registr_old/formula.h"

#include <cmath>
#include <string_view>

#include "library/number_conv.h"
#include "library/numeric/numeric.h"
#include "platform/rtl/utf8.h"

namespace formula {
namespace {

struct CharSets {
    std::set<char32_t> name_chars;
    std::set<char32_t> oper_chars;
    std::set<char32_t> number_starters;

    CharSets() {
        Calculator::fill_chars(
            "_0987654321ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz.,"
            "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"
            "абвгдеёжзийклмнопрстуфхцчшщъыьэюя",
            name_chars);
        Calculator::fill_chars("[]()*/+-^<>=", oper_chars);
        Calculator::fill_chars("0123456789,.", number_starters);
    }
};

// Built once, on first use, and shared by every calculator.
const CharSets& char_sets() {
    static const CharSets sets;
    return sets;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A number token is digits with at most one decimal point or comma, and
// optionally an exponent of digits ("1e5"); at least one mantissa digit.
// Signs cannot occur: they are operators and end the token.
bool is_whole_number(std::string_view s) {
    std::size_t i = 0;
    std::size_t digits = 0;
    while (i < s.size() && is_digit(s[i])) ++i, ++digits;
    if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
        ++i;
        while (i < s.size() && is_digit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        std::size_t exp_digits = 0;
        while (i < s.size() && is_digit(s[i])) ++i, ++exp_digits;
        if (exp_digits == 0) return false;
    }
    return i == s.size();
}

void push_buffer(AnsiString& buffer, std::deque<Lexema>& tokens) {
    if (buffer.empty()) return;
    Lexema token;
    token.text = std::move(buffer);
    buffer.clear();
    std::size_t pos = 0;
    const char32_t first = rtl::utf8::decode(token.text, pos);
    if (Calculator::contains(char_sets().number_starters, first)) {
        if (!is_whole_number(token.text)) throw FormulaException("Некорректное число в формуле: " + token.text);
        token.kind = Lexema::number;
        token.value = static_cast<double>(lib::str_to_float(token.text, 0));
    } else {
        token.kind = Lexema::name;
    }
    tokens.push_back(std::move(token));
}

bool is_sign(const Lexema& t) { return t.kind == Lexema::oper && (t.text == "+" || t.text == "-"); }

bool is_open_bracket(const Lexema& t) { return t.kind == Lexema::oper && t.text == "("; }

}  // namespace

void Calculator::fill_chars(const char* utf8, std::set<char32_t>& chars) {
    chars.clear();
    if (!utf8) return;
    const std::string_view s(utf8);
    std::size_t pos = 0;
    while (pos < s.size()) chars.insert(rtl::utf8::decode(s, pos));
}

bool Calculator::contains(const std::set<char32_t>& chars, char32_t c) { return chars.count(c) != 0; }

int Calculator::get_priority(const AnsiString& op) {
    if (op == "(") return 0;
    if (op == ")") return 1;
    if (op == "<" || op == ">" || op == "=") return 2;
    if (op == "+" || op == "-") return 3;
    if (op == "*" || op == "/") return 4;
    if (op == "^") return 5;
    return 1000;
}

void Calculator::divide(const AnsiString& formula, std::deque<Lexema>& tokens) {
    tokens.clear();
    const CharSets& sets = char_sets();
    AnsiString buffer;
    std::size_t pos = 0;
    while (pos < formula.size()) {
        const std::size_t start = pos;
        const char32_t c = rtl::utf8::decode(formula, pos);
        if (c <= 32) continue;
        if (contains(sets.name_chars, c)) {
            buffer.append(formula, start, pos - start);
            continue;
        }
        if (!contains(sets.oper_chars, c)) {
            // An invalid byte is shown as '?' so that the message stays text.
            const AnsiString shown = c == rtl::utf8::kInvalid ? AnsiString("?") : formula.substr(start, pos - start);
            throw FormulaException("Некорректный символ в формуле:" + shown);
        }
        push_buffer(buffer, tokens);
        Lexema op;
        op.kind = Lexema::oper;
        op.text = formula.substr(start, pos - start);
        tokens.push_back(std::move(op));
    }
    push_buffer(buffer, tokens);
}

void Calculator::polskaya_notacia(const std::deque<Lexema>& tokens, std::deque<Lexema>& rpn) {
    rpn.clear();
    std::deque<Lexema> stack;  // top at the back
    const Lexema* previous = nullptr;
    for (const Lexema& token : tokens) {
        if (token.kind != Lexema::oper) {
            rpn.push_back(token);
            previous = &token;
            continue;
        }
        // A sign right after '(' reads as "0 - x", so that it does not take
        // the value before the bracket as its left operand; its operand then
        // groups as a sign at the start of a formula always has (-2^2 is -4,
        // reduced as a one-operand step by calc).
        if (is_sign(token) && previous != nullptr && is_open_bracket(*previous)) {
            Lexema zero;
            zero.kind = Lexema::number;
            zero.text = "0";
            rpn.push_back(std::move(zero));
        }
        previous = &token;
        if (stack.empty() || token.text == "(") {
            stack.push_back(token);
        } else if (token.text == ")") {
            while (!stack.empty()) {
                Lexema top = std::move(stack.back());
                stack.pop_back();
                if (top.text == "(") break;
                rpn.push_back(std::move(top));
            }
        } else {
            const int p = get_priority(token.text);
            while (!stack.empty() && get_priority(stack.back().text) >= p) {
                rpn.push_back(std::move(stack.back()));
                stack.pop_back();
            }
            stack.push_back(token);
        }
    }
    while (!stack.empty()) {
        rpn.push_back(std::move(stack.back()));
        stack.pop_back();
    }
}

double Calculator::calc_value(const Lexema& token, const ValueFunction& value_of) {
    switch (token.kind) {
        case Lexema::number: return token.value;
        case Lexema::name: return value_of ? value_of(token.text) : 0.0;
        default: throw FormulaException("Ошибка в программе");
    }
}

double Calculator::calc(std::deque<Lexema>& rpn, const ValueFunction& value_of) {
    if (rpn.empty()) return 0.0;
    constexpr int max_steps = 256;
    for (int step = 0;; ++step) {
        if (rpn.size() < 2) return calc_value(rpn.front(), value_of);
        if (step == max_steps) throw FormulaException("Ошибка в алгоритме вычисления значения из польской нотации");

        std::size_t j = 0;
        while (j < rpn.size() && rpn[j].kind != Lexema::oper) ++j;
        // An operator first has no operand before it at all.
        if (j == rpn.size() || j == 0) throw FormulaException("Некорректная польская нотация");

        Lexema result;
        result.kind = Lexema::number;
        if (j == 1) {
            const AnsiString& op = rpn[1].text;
            if (op != "+" && op != "-") throw FormulaException("Некорректная польская нотация");
            double v = calc_value(rpn[0], value_of);
            if (op == "-") v = -v;
            result.value = v;
            rpn.erase(rpn.begin(), rpn.begin() + 2);
            rpn.push_front(std::move(result));
            continue;
        }

        const float a = static_cast<float>(calc_value(rpn[j - 2], value_of));
        const float b = static_cast<float>(calc_value(rpn[j - 1], value_of));
        const AnsiString& op = rpn[j].text;
        float r;
        if (op == "+") {
            r = a + b;
        } else if (op == "-") {
            r = a - b;
        } else if (op == "*") {
            r = a * b;
        } else if (op == "/") {
            if (lib::is_over_null(b)) throw FormulaException("Деление на ноль");
            r = a / b;
        } else if (op == "^") {
            r = static_cast<float>(std::pow(a, b));
        } else if (op == "<") {
            r = a < b ? 1.0f : 0.0f;
        } else if (op == ">") {
            r = a > b ? 1.0f : 0.0f;
        } else if (op == "=") {
            r = std::fabs(static_cast<double>(a) - b) < 0.0001 ? 1.0f : 0.0f;
        } else {
            throw FormulaException("Некорректный оператор");
        }
        result.value = r;
        rpn[j - 2] = std::move(result);
        rpn.erase(rpn.begin() + static_cast<std::ptrdiff_t>(j - 1), rpn.begin() + static_cast<std::ptrdiff_t>(j + 1));
    }
}

double Calculator::calculate(const AnsiString& formula, const ValueFunction& value_of) {
    if (formula.empty()) return 0.0;
    std::deque<Lexema> tokens;
    std::deque<Lexema> rpn;
    divide(formula, tokens);
    polskaya_notacia(tokens, rpn);
    if (!value_of) return 0.0;
    return static_cast<float>(calc(rpn, value_of));
}

}  // namespace formula
