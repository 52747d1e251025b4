#include "velkarn.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

QString velkarn::Findfilename(const QString &path)
{
    _filenamestart = qint32(path.lastIndexOf(u'/') + 1);
    return path.mid(_filenamestart);
}

QString velkarn::Findfilepath(const QString &path)
{
    Findfilename(path);
    return path.contains(u'/') ? path.left(_filenamestart) : path;
}

QString velkarn::Findfilenamenoext(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    _filenamestart = qint32(qMax<qsizetype>(dot, 0));
    return dot >= 0 ? name.left(dot) : name;
}

QString velkarn::GetName(const QString &name)
{
    const qint32 dot = Findstring(name, QStringLiteral("."));
    return dot < 0 ? name : name.left(dot);
}

QString velkarn::GetExt(const QString &name)
{
    const qint32 dot = Findstring(name, QStringLiteral("."));
    return dot < 0 ? QStringLiteral("") : name.mid(dot);
}

QString velkarn::Changefilenamename(const QString &path, const QString &newname)
{
    const QString name = Findfilename(path);
    const qint32 dot = Findstring(name, QStringLiteral("."));
    const QString newPart = dot < 0 ? newname : newname + name.mid(dot);
    return path.left(_filenamestart) + newPart;
}

QString velkarn::Changefilenameext(const QString &path, const QString &ext)
{
    const QString dotted = u'.' + ext;
    if (path.isEmpty())
        return QStringLiteral("");
    const QString name = Findfilename(path);
    const qint32 nameStart = _filenamestart;
    const QString newName = name.contains(u'.') ? Findfilenamenoext(name) + dotted : name + dotted;
    return path.left(nameStart) + newName;
}

QString velkarn::readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("");
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("");
    QStringDecoder toUtf16(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = toUtf16(bytes);
    return toUtf16.hasError() ? QStringLiteral("") : text;
}

bool velkarn::writeFile(const QString &path, const QString &text)
{
    if (text.isEmpty())
        return false;
    // Written aside and renamed into place, so a failed write never leaves
    // the old file half replaced.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.toUtf8());
    return file.commit();
}
