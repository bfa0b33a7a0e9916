#include "platform/os_reason.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <utility>

QString osReason(const QString& systemText) {
    static const std::pair<int, const char*> kReasons[] = {
        {ENOENT, "沒有這個檔案或資料夾"},
        {EACCES, "沒有存取權限"},
        {EPERM, "不允許這項操作"},
        {EROFS, "檔案系統是唯讀的"},
        {ENOSPC, "磁碟空間不足"},
        {EDQUOT, "超過磁碟配額"},
        {EISDIR, "這是資料夾"},
        {ENOTDIR, "路徑中有一部分不是資料夾"},
        {ENAMETOOLONG, "檔名太長"},
        {EIO, "輸入或輸出錯誤"},
        {EMFILE, "開啟的檔案太多"},
        {ENFILE, "系統開啟的檔案太多"},
        {EEXIST, "檔案已經存在"},
        {ELOOP, "符號連結的層數太多"},
        {EFBIG, "檔案太大"},
        {ETXTBSY, "檔案正在使用中"},
        {EBUSY, "裝置或資源正忙"},
        {ENXIO, "沒有這個裝置"},
        {ENODEV, "沒有這個裝置"},
        {EINVAL, "無效的參數"},
        {ENOMEM, "記憶體不足"},
    };
    const QString text = systemText.trimmed();
    for (const auto& [code, chinese] : kReasons) {
        const QString english = qt_error_string(code);
        if (text == english ||
            text == QCoreApplication::translate("QIODevice", english.toLatin1().constData()))
            return QString::fromUtf8(chinese);
    }
    if (text.isEmpty()) return QStringLiteral("未知的錯誤");
    return QStringLiteral("系統錯誤：%1").arg(text);
}

QString whyNotWritable(const QString& path) {
    const QFileInfo info(path);
    const QString target = info.exists() ? path : info.absolutePath();
    if (::access(QFile::encodeName(target).constData(), W_OK) == 0) return QString();
    return osReason(qt_error_string(errno));
}
