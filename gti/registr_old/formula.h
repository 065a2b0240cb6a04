#pragma once
// formula::Calculator: evaluates a formula text of names, numbers, the
// operators + - * / ^ < > = and brackets to a number.
//
// The evaluator knows nothing of parameters: every name in the formula is
// handed to a function the caller passes. Evaluation runs in three stages
// that the host may also call on their own: the text is divided into tokens
// (divide), the tokens are put into reverse Polish order (polskaya_notacia),
// and that sequence is reduced to one number (calc). Every arithmetic step
// works in single precision, as the station always has, so results are
// floats carried in doubles.
//
// A '+' or '-' at the very start of the formula or right after '(' is a
// sign ("-5", "5-(-3)"); anywhere else it is the binary operator, so
// "2*-3" is an error. All binary operators, '^' included, group from the
// left: 2^3^2 is (2^3)^2.
//
// Errors are formula::FormulaException with the station's Russian texts.

#include <deque>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>

namespace formula {

using AnsiString = std::string;

class FormulaException : public std::runtime_error {
public:
    explicit FormulaException(const AnsiString& message) : std::runtime_error(message) {}
};

// One token of a formula.
struct Lexema {
    enum Kind { number = 0, name = 1, oper = 2 };

    int kind = number;
    AnsiString text;     // as written (blanks inside a name dropped)
    double value = 0.0;  // numbers only; 0 for names and operators
};

// Resolves a name of the formula to its value.
using ValueFunction = std::function<double(const AnsiString&)>;

class Calculator {
public:
    // 0 for an empty formula; 0 when value_of is empty (the text is still
    // divided and converted, so a bad character is still reported);
    // otherwise the result of calc rounded to single precision.
    double calculate(const AnsiString& formula, const ValueFunction& value_of);

    // Tokens of the formula. Characters up to code 32 are skipped without
    // ending a name ("вес на крюке" is the name "веснакрюке"). A run of name
    // characters is one token: a number when it starts with a digit, '.' or
    // ',', else a name. A number must be a number to its end ("1e" of
    // "1e-5" is refused, never read as 1).
    static void divide(const AnsiString& formula, std::deque<Lexema>& tokens);

    // Reverse Polish order by the operator priorities of get_priority.
    static void polskaya_notacia(const std::deque<Lexema>& tokens, std::deque<Lexema>& rpn);

    // Reduces the sequence to one number, at most 256 reduction steps.
    // The sequence is consumed.
    static double calc(std::deque<Lexema>& rpn, const ValueFunction& value_of);

    // A number's value, or the value of a name (0 when value_of is empty).
    static double calc_value(const Lexema& token, const ValueFunction& value_of);

    // "(" 0, ")" 1, "<" ">" "=" 2, "+" "-" 3, "*" "/" 4, "^" 5, else 1000.
    static int get_priority(const AnsiString& op);

    // The character sets of the tokenizer, over Unicode code points since
    // formulas are UTF-8 text: fill_chars replaces the set's content with
    // the characters of a UTF-8 text.
    static void fill_chars(const char* utf8, std::set<char32_t>& chars);
    static bool contains(const std::set<char32_t>& chars, char32_t c);
};

}  // namespace formula
