#pragma once

#include <QString>

class velkarn;

namespace vk {

// The fields of a user-check answer: three one-character flags, the company up
// to the first "^^", the category up to the next one, then the scrambled password.
struct LoginAnswer
{
    QString useronline;
    QString useractive;
    QString resactive;
    QString company;
    QString category;
    QString passwordenc;
    bool accepted = false; // the decoded password is the typed one and the flags are N, Y, Y
};

// Cuts text through v's primitives; never fails, whatever the text holds.
LoginAnswer parseLoginAnswer(velkarn &v, const QString &text, const QString &typedPassword);

} // namespace vk
