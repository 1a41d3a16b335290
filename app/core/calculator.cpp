// The calculator's keys: number entry on texts, operations in extended precision.
#include "app/core/calculator.h"

#include <QLocale>
#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/msgbox.h"

namespace {

constexpr int MaxEntry = 9;  // characters of a typed number, the point included

long double num(const QString& text)
{
    // Texts here are the calculator's own, always with a "." point whatever the user's locale.
    bool ok = false;
    const double v = QLocale::c().toDouble(text, &ok);
    return ok ? v : 0;
}

}  // namespace

QString TCalculator::FormatValue(long double v)
{
    const double d = static_cast<double>(v);
    if (d == 0 || !std::isfinite(d)) return QStringLiteral("0");
    // Ten significant digits, then the shortest form: fixed while the integer part has at most ten
    // digits and the value is not below 0.00001, else a mantissa and an exponent ("1.5E12").
    const QString e = QString::number(std::fabs(d), 'e', 9);  // "d.ddddddddde+XX"
    const int ePos = e.indexOf(QLatin1Char('e'));
    QString digits = e.left(ePos).remove(QLatin1Char('.'));
    const int exp = e.mid(ePos + 1).toInt();
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0'))) digits.chop(1);
    QString text;
    if (exp <= 9 && std::fabs(d) >= 1e-5) {
        if (exp >= 0) {
            if (digits.size() <= exp + 1) {
                text = digits + QString(exp + 1 - digits.size(), QLatin1Char('0'));
            } else {
                text = digits.left(exp + 1) + QLatin1Char('.') + digits.mid(exp + 1);
            }
        } else {
            text = QStringLiteral("0.") + QString(-exp - 1, QLatin1Char('0')) + digits;
        }
    } else {
        text = digits.left(1);
        if (digits.size() > 1) text += QLatin1Char('.') + digits.mid(1);
        text += QStringLiteral("E%1").arg(exp);
    }
    return d < 0 ? QLatin1Char('-') + text : text;
}

int TCalculator::TagOfChar(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    switch (c) {
        case '.':
            return Point;
        case '+':
            return Plus;
        case '-':
            return Minus;
        case '*':
            return Multi;
        case '/':
            return Divide;
        case '\r':
            return Calc;
        case '\b':
            return BackSpace;
        case 'C':
        case 'c':
            return Clear;
        default:
            return -1;
    }
}

void TCalculator::Press(int tag)
{
    if (tag >= 0 && tag <= 9) {
        digit(tag);
        return;
    }
    if (error_ && tag != Point && tag != Clear) {
        // After an error only a new number or AC makes sense; the error text is no operand.
        MessageBeep();
        return;
    }
    switch (tag) {
        case Point:
            point();
            break;
        case Plus:
        case Minus:
        case Multi:
        case Divide:
            operation(tag);
            break;
        case Calc:
            equals();
            break;
        case Per:
            percent();
            break;
        case Clear:
            allClear();
            break;
        case BackSpace:
            backSpace();
            break;
        default:
            break;
    }
}

void TCalculator::show()
{
    disp_ = FormatValue(value_);
    if (pointFlag_ && !disp_.contains(QLatin1Char('.'))) disp_ += QLatin1Char('.');
    // Zeros typed after the point stay visible although the value does not show them.
    const int dot = disp_.indexOf(QLatin1Char('.'));
    if (pointFlag_ && dot >= 0)
        while (disp_.size() - dot - 1 < decimals_) disp_ += QLatin1Char('0');
}

void TCalculator::digit(int d)
{
    // A number after an operation or error starts afresh, whatever was typed before.
    if (!newEntry_ && e_.size() >= MaxEntry) return;
    error_ = false;
    if (disp_.endsWith(QLatin1Char('.')) && !pointFlag_) disp_.chop(1);
    e_ = newEntry_ ? QString::number(d) : disp_ + QString::number(d);
    newEntry_ = false;
    if (pointFlag_) ++decimals_;
    value_ = num(e_);
    show();
}

void TCalculator::point()
{
    if (pointFlag_) return;
    if (!newEntry_ && e_.size() >= MaxEntry) return;
    error_ = false;
    if (disp_.endsWith(QLatin1Char('.'))) disp_.chop(1);
    e_ = (newEntry_ ? QStringLiteral("0") : disp_) + QLatin1Char('.');
    pointFlag_ = true;
    newEntry_ = false;
    decimals_ = 0;
    value_ = num(e_);
    show();
}

void TCalculator::operation(int op)
{
    // A number typed right after a result starts a new calculation; as an operand it would be
    // overwritten by the next one and lost.
    if (a_.isEmpty() || (result_ && !newEntry_))
        a_ = disp_;
    else
        b_ = disp_;
    if (op_ != 0 && !result_ && !newEntry_) {
        setResult(compute());
        if (error_) return;
        a_ = disp_;
    }
    e_.clear();
    op_ = op;
    result_ = false;
    pointFlag_ = false;
    newEntry_ = true;
    decimals_ = 0;
}

void TCalculator::equals()
{
    if (op_ == 0) return;
    if (newEntry_ && b_.isEmpty()) b_ = a_;  // 5 × = squares
    if (!newEntry_) b_ = disp_;
    newEntry_ = true;
    pointFlag_ = false;
    decimals_ = 0;
    setResult(compute());
    if (!error_) a_ = disp_;
}

long double TCalculator::compute()
{
    const long double a = num(a_);
    const long double b = num(b_);
    result_ = true;
    switch (op_) {
        case Plus:
            return a + b;
        case Minus:
            return a - b;
        case Multi:
            return a * b;
        case Divide:
            return b == 0 ? std::numeric_limits<long double>::quiet_NaN() : a / b;
        default:
            return 0;
    }
}

void TCalculator::setResult(long double v)
{
    if (std::isfinite(v) && std::isfinite(static_cast<double>(v))) {
        value_ = v;
        show();
        return;
    }
    // Division by zero or an overflow: nothing sensible can be carried on, so the state is that
    // of AC with the error on the display, and the value stays a finite 0.
    allClear();
    error_ = true;
    disp_ = QStringLiteral("エラー");
    MessageBeep();
}

void TCalculator::percent()
{
    if (newEntry_ && b_.isEmpty()) {
        MessageBeep();
        return;
    }
    const long double a = num(a_);
    const long double d = value_;
    value_ = (op_ == Plus || op_ == Minus) ? a * d / 100 : d / 100;
    show();
    b_ = disp_;
}

void TCalculator::allClear()
{
    a_.clear();
    b_.clear();
    e_.clear();
    newEntry_ = true;
    pointFlag_ = false;
    decimals_ = 0;
    value_ = 0;
    op_ = 0;
    error_ = false;
    show();
}

void TCalculator::backSpace()
{
    if (newEntry_) return;
    if (pointFlag_) {
        if (decimals_ == 0)
            pointFlag_ = false;
        else
            --decimals_;
    }
    e_.chop(1);
    if (e_.isEmpty() || e_ == QLatin1String("-")) {
        e_ = QStringLiteral("0");
        newEntry_ = true;
    }
    value_ = num(e_);
    show();
}

QString TCalculator::TakeError() const
{
    if (error_) return QStringLiteral("計算結果がエラーのため、入力欄にセットできません。");
    const long double whole = std::trunc(value_);
    if (whole < std::numeric_limits<int32_t>::min() || whole > std::numeric_limits<int32_t>::max())
        return QStringLiteral("計算結果が入力できる範囲（-2,147,483,648～2,147,483,647）を超えています。");
    return {};
}
