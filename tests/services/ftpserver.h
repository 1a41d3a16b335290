// Servers of the services tests, run by python3 on a free port of 127.0.0.1 and stopped with the
// object.
#pragma once
#include <QProcess>
#include <QRegularExpression>

#include "services/ftp.h"
#include "tests/testutil.h"

// python3 -u with args; the port is the first group of portPattern in what the server prints.
class PythonServer {
  public:
    PythonServer(const QStringList& args, const QString& portPattern)
    {
        p_.setProcessChannelMode(QProcess::MergedChannels);
        p_.start(u("/usr/bin/python3"), QStringList{u("-u")} + args);
        const QRegularExpression re(portPattern);
        QByteArray out;
        while (port_ == 0 && p_.waitForReadyRead(10000)) {
            out += p_.readAll();
            const auto m = re.match(QString::fromLatin1(out));
            if (m.hasMatch()) port_ = m.captured(1).toInt();
        }
    }
    ~PythonServer()
    {
        p_.kill();
        p_.waitForFinished();
    }
    int port() const { return port_; }

  private:
    QProcess p_;
    int port_ = 0;
};

// pyftpdlib serving root for the user "kyuyo" (password "pw").
struct FtpServer : PythonServer {
    explicit FtpServer(const QString& root)
        : PythonServer({u("-m"), u("pyftpdlib"), u("-i"), u("127.0.0.1"), u("-p"), u("0"), u("-w"), u("-d"),
                        root, u("-u"), u("kyuyo"), u("-P"), u("pw")},
                       u("127\\.0\\.0\\.1:(\\d+)"))
    {
    }
    TFtpServer server(const char* password = "pw") const
    {
        return {u("127.0.0.1"), port(), u("kyuyo"), u(password), u("/Backup/Pelmora/")};
    }
};

// python3 -m http.server serving folder.
struct HttpServer : PythonServer {
    explicit HttpServer(const QString& folder)
        : PythonServer(
              {u("-m"), u("http.server"), u("0"), u("--bind"), u("127.0.0.1"), u("--directory"), folder},
              u("port (\\d+)"))
    {
    }
    QString url() const { return u("http://127.0.0.1:%1/").arg(port()); }
};

// badserver.py in one of its modes.
struct BadServer : PythonServer {
    explicit BadServer(const char* mode)
        : PythonServer({QStringLiteral(TEST_SOURCE_DIR "/services/badserver.py"), QString::fromLatin1(mode)},
                       u("port (\\d+)"))
    {
    }
    QString url() const { return u("http://127.0.0.1:%1/version_info.dat").arg(port()); }
    TFtpServer ftp() const
    {
        TFtpServer s{u("127.0.0.1"), port(), u("kyuyo"), u("pw"), u("/Backup/Pelmora/")};
        s.StallSeconds = 2;
        return s;
    }
};
