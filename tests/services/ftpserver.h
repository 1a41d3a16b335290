// A pyftpdlib server on 127.0.0.1 serving root for the user "kyuyo" (password "pw"), started on a
// free port and stopped with the object.
#pragma once
#include <QProcess>
#include <QRegularExpression>

#include "services/ftp.h"
#include "tests/testutil.h"

class FtpServer {
  public:
    explicit FtpServer(const QString& root)
    {
        p_.setProcessChannelMode(QProcess::MergedChannels);
        p_.start(u("/usr/bin/python3"),
                 {u("-u"), u("-m"), u("pyftpdlib"), u("-i"), u("127.0.0.1"), u("-p"), u("0"), u("-w"),
                  u("-d"), root, u("-u"), u("kyuyo"), u("-P"), u("pw")});
        const QRegularExpression re(u("127\\.0\\.0\\.1:(\\d+)"));
        QByteArray out;
        while (port_ == 0 && p_.waitForReadyRead(10000)) {
            out += p_.readAll();
            const auto m = re.match(QString::fromLatin1(out));
            if (m.hasMatch()) port_ = m.captured(1).toInt();
        }
    }
    ~FtpServer()
    {
        p_.kill();
        p_.waitForFinished();
    }
    TFtpServer server(const char* password = "pw") const
    {
        return {u("127.0.0.1"), port_, u("kyuyo"), u(password), u("/Backup/Pelmora/")};
    }
    int port() const { return port_; }

  private:
    QProcess p_;
    int port_ = 0;
};
