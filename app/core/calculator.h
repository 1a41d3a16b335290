// The four-function calculator behind "簡易電卓": the key state machine and its display text,
// without widgets, so that key sequences can be run and checked directly.
#pragma once
#include <QString>

class TCalculator {
  public:
    // The keys by the Tags of their buttons; digits are 0..9.
    enum Key {
        Point = 10,
        Plus = 110,
        Minus = 120,
        Multi = 130,
        Divide = 140,
        Calc = 150,
        Per = 160,
        Clear = 170,
        BackSpace = 180,
    };

    TCalculator() { Press(Clear); }

    // Runs the key of this Tag; unknown Tags do nothing.
    void Press(int tag);
    // Runs a typed key: "0".."9", ".", "+", "-", "*", "/", "C" or "c", '\r' for equals and '\b' for
    // backspace. Returns the Tag it ran, -1 for a key the calculator does not take.
    static int TagOfChar(char c);

    const QString& Display() const { return disp_; }
    long double CalcValue() const { return value_; }
    bool HasError() const { return error_; }
    // Empty when the value, truncated to a whole number, can go into a field; otherwise the
    // message that refuses it.
    QString TakeError() const;

    // The value as the display shows it: general format with 10 significant digits.
    static QString FormatValue(long double v);

  private:
    void digit(int d);
    void point();
    void operation(int op);
    void equals();
    void percent();
    void backSpace();
    void allClear();
    long double compute();
    void show();
    // The result of an operation, or the error state when it has no finite value.
    void setResult(long double v);

    QString a_, b_, e_;  // accumulator, operand, digits typed
    QString disp_;
    long double value_ = 0;
    int op_ = 0;
    bool result_ = false;   // an operation has just been computed
    bool newEntry_ = true;  // the next digit starts a new number
    bool pointFlag_ = false;
    int decimals_ = 0;
    bool error_ = false;
};
