#include "AppDelegate.h"

#include "BookAnswer.h"
#include "LoginAnswer.h"

using namespace vk;

void AppDelegate::parselogindata(const QString &text)
{
    const LoginAnswer answer = parseLoginAnswer(*velkarninst, text, password_global);
    useronline = answer.useronline;
    useractive = answer.useractive;
    resactive = answer.resactive;
    company_global = answer.company;
    category_global = answer.category;
    passwordenc_global = answer.passwordenc;
    if (answer.accepted) {
        monline.store(1, std::memory_order_relaxed);
        pdfstatusupdate(QStringLiteral("Y"));
    } else {
        monline.store(0, std::memory_order_relaxed);
    }
}

void AppDelegate::parsebookdata(const QString &text)
{
    BookList books = parseBookAnswer(*velkarninst, text);
    bookname = std::move(books.names);
    bookloc = std::move(books.locations);
    bookpass = std::move(books.passwords);
    bookmax = qint32(bookname.size());
}
