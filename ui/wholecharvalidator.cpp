#include "ui/wholecharvalidator.h"

QValidator::State WholeCharValidator::validate(QString& input, int& pos) const {
    // Always Acceptable: anything less would stop Enter from pressing the
    // window's button.
    if (input.isValidUtf16()) {
        return Acceptable;
    }
    QString whole;
    whole.reserve(input.size());
    int newPos = pos;
    for (qsizetype i = 0; i < input.size(); ++i) {
        const QChar c = input.at(i);
        if (c.isHighSurrogate() && i + 1 < input.size() && input.at(i + 1).isLowSurrogate()) {
            whole.append(c);
            whole.append(input.at(++i));
        } else if (c.isSurrogate()) {
            if (i < pos) {
                --newPos;
            }
        } else {
            whole.append(c);
        }
    }
    input = whole;
    pos = newPos;
    return Acceptable;
}
