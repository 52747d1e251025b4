#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QtGlobal>

#include <functional>

class QFileInfo;

// General utility class of the viewer: text primitives with fixed position
// conventions, the string codecs the portal's scrambled fields use, a file
// enumerator with a cursor, path helpers and host facts.
//
// Positions and lengths count UTF-16 code units from 0; a failed search is -1
// and a missing result is a null QString. Nothing here logs or throws.
class velkarn
{
public:
    velkarn();

    // Text primitives (velkarnText.cpp).
    static QString substr(const QString &s, qint64 start, qint64 charlen);
    static qint32 Findstring(const QString &s, const QString &pattern);
    static qint32 Findstringfrom(const QString &s, const QString &pattern, qint32 from);
    static qint32 Findascii(const QString &s, qint64 ascii);
    static QString AddStrB2A(const QString &first, const QString &second);
    static qint64 hexdec(const QString &s);
    static qint64 hexdec8bit(const QString &s);
    static QString dechex(qint64 value);
    static QString str(qint64 value);
    static QString chr(qint64 value);
    static QString chrint(qint32 value);
    static qint64 asc(const QString &s);
    static qint32 ascint(const QString &s);

    // Pair-swap XOR codec (velkarnPairSwap.cpp).
    QString decodestr(const QString &s);
    QString encodestr(const QString &s) const;

    // The encoders seed with the seconds of the clock (0 to 59); a fixed
    // source makes their output reproducible.
    void setSecondsSource(std::function<int()> source);

    // Checksummed and dated codecs (velkarnChecksum.cpp).
    QString decodestrcrcsimple(const QString &s);
    QString encodestrcrc(const QString &s) const;
    QString decodestrcrc(const QString &s);
    QString encodestrnew(const QString &s, const QString &d) const;
    QString decodestrnew(const QString &s, quint8 base64flag);
    QString encodemaster(const QString &s, const QString &d) const;

    // File enumeration and file cursor (velkarnFiles.cpp).
    void fetchfiles(const QUrl &u);
    void fetchfilesman(const QUrl &u);
    void filetree(const QUrl &u);
    void filetreeman(const QUrl &u);
    QString GetFirstFile(const QString &pattern);
    QString GetNextFile(const QString &pattern);
    QString GetPrevFile();
    QString GetLastFile();

    // Path and file helpers (velkarnPaths.cpp).
    QString Findfilename(const QString &path);
    QString Findfilepath(const QString &path);
    QString Findfilenamenoext(const QString &name);
    static QString GetName(const QString &name);
    static QString GetExt(const QString &name);
    QString Changefilenamename(const QString &path, const QString &newname);
    QString Changefilenameext(const QString &path, const QString &ext);
    static QString readFile(const QString &path);
    // Returns whether the text was stored; an empty text stores nothing.
    static bool writeFile(const QString &path, const QString &text);

    // Host facts, shell and certificates (velkarnHost.cpp).
    static QString runCommand(const QString &command);
    static QString systemInfoString(const char *name);
    static QString hostName();
    QString strIORegistryEntry(const QString &key);
    QStringList GetCerts(const QString &listing);
    static QString Cert2use(const QString &name);
    static quint8 validateEmail2(const QString &s);
    static void listfonts();

    quint8 wildcard() const { return _wildcard; }
    void setWildcard(quint8 v) { _wildcard = v; }
    quint8 expired() const { return _expired; }
    void setExpired(quint8 v) { _expired = v; }
    quint8 fext() const { return _fext; }
    void setFext(quint8 v) { _fext = v; }
    quint8 crcstatus() const { return _crcstatus; }
    void setCrcstatus(quint8 v) { _crcstatus = v; }
    quint8 isFile() const { return _isFile; }
    void setIsFile(quint8 v) { _isFile = v; }
    quint8 isArchive() const { return _isArchive; }
    void setIsArchive(quint8 v) { _isArchive = v; }
    quint8 storeonly() const { return _storeonly; }
    void setStoreonly(quint8 v) { _storeonly = v; }
    quint8 processor1() const { return _processor1; }
    void setProcessor1(quint8 v) { _processor1 = v; }
    quint8 profileon() const { return _profileon; }
    void setProfileon(quint8 v) { _profileon = v; }
    qint32 filelistmax() const { return _filelistmax; }
    void setFilelistmax(qint32 v) { _filelistmax = v; }
    qint32 cb2choice() const { return _cb2choice; }
    void setCb2choice(qint32 v) { _cb2choice = v; }
    qint32 filenamestart() const { return _filenamestart; }
    void setFilenamestart(qint32 v) { _filenamestart = v; }
    qint32 processor_iter1() const { return _processor_iter1; }
    void setProcessor_iter1(qint32 v) { _processor_iter1 = v; }
    qint32 processor_code1() const { return _processor_code1; }
    void setProcessor_code1(qint32 v) { _processor_code1 = v; }
    QStringList filelist() const { return _filelist; }
    void setFilelist(const QStringList &v) { _filelist = v; }
    QString ftype() const { return _ftype; }
    void setFtype(const QString &v) { _ftype = v; }
    QString email() const { return _email; }
    void setEmail(const QString &v) { _email = v; }
    QString datestr() const { return _datestr; }
    void setDatestr(const QString &v) { _datestr = v; }
    QString decodedatestr() const { return _decodedatestr; }
    void setDecodedatestr(const QString &v) { _decodedatestr = v; }
    QString appnametmp() const { return _appnametmp; }
    void setAppnametmp(const QString &v) { _appnametmp = v; }
    QString apparctmp() const { return _apparctmp; }
    void setApparctmp(const QString &v) { _apparctmp = v; }
    QString sid() const { return _sid; }
    void setSid(const QString &v) { _sid = v; }
    QString uuid() const { return _uuid; }
    void setUuid(const QString &v) { _uuid = v; }
    QString hostid() const { return _hostid; }
    void setHostid(const QString &v) { _hostid = v; }
    QString username() const { return _username; }
    void setUsername(const QString &v) { _username = v; }

    qint32 inval = 0;
    qint32 dirmax = 0;
    qint32 filemax = 0;
    qint32 dircount = 0;
    qint32 filecount = 0;
    QString strval;
    QString datestr_global;
    QList<QUrl> dirs;
    QStringList files;
    QStringList tmparray;
    QString kVarSysInfoPlatformExpert;

private:
    int currentSeed() const;
    QString fileEntryAt(qint32 index) const;
    bool fileEntryMatches(qint32 index, const QString &pattern);
    QString searchFilesFrom(const QString &pattern);
    void resetFileLists();
    void addFileInfo(const QFileInfo &info);

    quint8 _wildcard = 0; // declared, unused
    quint8 _expired = 0; // declared, unused
    quint8 _fext = 0; // declared, unused
    quint8 _crcstatus = 0;
    quint8 _isFile = 0; // declared, unused
    quint8 _isArchive = 0; // declared, unused
    quint8 _storeonly = 0;
    quint8 _processor1 = 0; // declared, unused
    quint8 _profileon = 0; // declared, unused
    qint32 _filelistmax = 0;
    qint32 _cb2choice = 0; // declared, unused
    qint32 _filenamestart = 0;
    qint32 _processor_iter1 = 0; // declared, unused
    qint32 _processor_code1 = 0; // declared, unused
    QStringList _filelist;
    QString _ftype; // declared, unused
    QString _email; // declared, unused
    QString _datestr; // declared, unused
    QString _decodedatestr;
    QString _appnametmp; // declared, unused
    QString _apparctmp; // declared, unused
    QString _sid; // declared, unused
    QString _uuid; // declared, unused
    QString _hostid; // declared, unused
    QString _username; // declared, unused

    std::function<int()> _secondsSource;
};
