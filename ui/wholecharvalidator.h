#pragma once

#include <QValidator>

// Keeps an input box free of half characters. A box counts UTF-16 units, so
// its length limit can cut a character beyond U+FFFF in two when it is typed
// or pasted at the end; the validator drops such a lone half, so the box
// refuses a character that does not fit whole. Everything else is accepted
// as it is: the calculation core judges the text.
class WholeCharValidator : public QValidator {
    Q_OBJECT

public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override;
};
