#pragma once
// A private CUPS scheduler for one test program: its own configuration,
// spool, state and log folders and Unix socket in a temporary folder, reached
// through CUPS_SERVER. Each queue hands its jobs to a small backend that
// copies every job into the queue's own folder, one file per job. The machine's
// own scheduler is never touched.

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <vector>

class PrintServer {
public:
    struct Queue {
        QString name;
        QString makeAndModel;
        QString location;
        bool a4Only = false; // no Letter paper
    };

    ~PrintServer() { stop(); }

    // Starts the scheduler with the queues, defaultQueue being the server's
    // default. False with error() telling why.
    bool start(const std::vector<Queue> &queues, const QString &defaultQueue)
    {
        JobOwner owner;
        if (!makeFolders() || !jobOwner(owner) || !linkCupsPrograms() || !writeConfiguration(owner) || !startScheduler()
            || !addQueues(queues, owner))
            return false;
        QString out;
        if (!defaultQueue.isEmpty() && !run("lpadmin", {"-d", defaultQueue}, &out))
            return fail(QStringLiteral("lpadmin -d: ") + out);
        return true;
    }

    // Stops the scheduler and gives the environment back.
    void stop()
    {
        if (cupsd_) {
            cupsd_->terminate();
            if (!cupsd_->waitForFinished(10000)) {
                cupsd_->kill();
                cupsd_->waitForFinished(5000);
            }
            cupsd_.reset();
        }
        for (auto it = env_.rbegin(); it != env_.rend(); ++it) {
            if (it->second.first)
                qputenv(it->first.constData(), it->second.second);
            else
                qunsetenv(it->first.constData());
        }
        env_.clear();
        dir_.reset();
    }

    const QString &error() const { return error_; }
    QString socket() const { return socket_; }

    // The files of the jobs the queue has finished, oldest first.
    QStringList jobs(const QString &queue) const
    {
        const auto it = jobs_.find(queue);
        if (it == jobs_.end())
            return {};
        QStringList files = QDir(it->second).entryList({"job-*.pdf"}, QDir::Files);
        std::sort(files.begin(), files.end(), [](const QString &a, const QString &b) {
            return a.mid(4).split('.').first().toInt() < b.mid(4).split('.').first().toInt();
        });
        for (QString &f : files)
            f = it->second + "/" + f;
        return files;
    }

    // Waits (letting events run) until the queue has at least count finished
    // jobs and the server has none left to do; the finished jobs' files.
    QStringList waitForJobs(const QString &queue, int count, int timeoutMs = 30000) const
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents();
            QString pending;
            if (jobs(queue).size() >= count && run("lpstat", {"-o"}, &pending) && pending.trimmed().isEmpty())
                break;
            QThread::msleep(100);
        }
        return jobs(queue);
    }

    // Runs a CUPS client program against this server; true on exit status 0.
    bool run(const QString &program, const QStringList &args, QString *output = nullptr) const
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        const bool ok = p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (output)
            *output = QString::fromUtf8(p.readAll());
        return ok;
    }

private:
    static inline const QString kSystem = QStringLiteral("/usr/lib/cups");

    // Who the scheduler runs filters and backends as.
    struct JobOwner {
        QString user, group;
        uid_t uid = 0;
        gid_t gid = 0;
    };

    bool makeFolders()
    {
        dir_ = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/somnex-cups-XXXXXX"));
        if (!dir_->isValid())
            return fail(QStringLiteral("no temporary folder"));
        root_ = dir_->path();
        if (!QFile::exists(QStringLiteral("/usr/sbin/cupsd")) || !QDir(kSystem + "/backend").exists())
            return fail(QStringLiteral("the CUPS scheduler is not installed (Debian packages cups, cups-client)"));
        for (const char *sub : {"etc", "spool", "state", "cache", "log", "tmp", "bin", "bin/backend", "jobs"})
            if (!QDir().mkpath(root_ + "/" + sub))
                return fail(QStringLiteral("cannot make ") + sub);
        chmod(QFile::encodeName(root_).constData(), 0755);
        return true;
    }

    // cupsd runs its filters and backends as an unprivileged user; it
    // refuses root, so a test run by root hands them to lp.
    bool jobOwner(JobOwner &owner)
    {
        owner.uid = geteuid();
        owner.gid = getegid();
        if (owner.uid == 0) {
            const passwd *lp = getpwnam("lp");
            const struct group *lpg = getgrnam("lp");
            if (!lp || !lpg)
                return fail(QStringLiteral("no user lp to run the print jobs"));
            owner.user = owner.group = QStringLiteral("lp");
            owner.uid = lp->pw_uid;
            owner.gid = lpg->gr_gid;
            return true;
        }
        const passwd *me = getpwuid(owner.uid);
        const struct group *mine = getgrgid(owner.gid);
        if (!me || !mine)
            return fail(QStringLiteral("unknown user"));
        owner.user = QString::fromLocal8Bit(me->pw_name);
        owner.group = QString::fromLocal8Bit(mine->gr_name);
        return true;
    }

    // The system's filters and backends, and the job-copying backend.
    bool linkCupsPrograms()
    {
        for (const QString &f : QDir(kSystem + "/backend").entryList(QDir::Files | QDir::NoDotAndDotDot))
            QFile::link(kSystem + "/backend/" + f, root_ + "/bin/backend/" + f);
        for (const char *sub : {"filter", "daemon", "cgi-bin", "monitor", "notifier", "driver"})
            if (QDir(kSystem + "/" + sub).exists())
                QFile::link(kSystem + "/" + sub, root_ + "/bin/" + sub);
        const QString backend = root_ + "/bin/backend/testfile";
        if (!write(backend, "#!/bin/sh\n"
                            "# Copies each job into the folder of the device URI, one file per job.\n"
                            "if [ $# -eq 0 ]; then echo 'direct testfile \"Unknown\" \"Job folder\"'; exit 0; fi\n"
                            "dir=${DEVICE_URI#testfile:}\n"
                            "out=\"$dir/job-$1.part\"\n"
                            "if [ $# -ge 6 ]; then cat \"$6\" > \"$out\"; else cat > \"$out\"; fi || exit 1\n"
                            "mv \"$out\" \"$dir/job-$1.pdf\"\n"))
            return false;
        chmod(QFile::encodeName(backend).constData(), 0755);
        return true;
    }

    bool writeConfiguration(const JobOwner &owner)
    {
        socket_ = root_ + "/cups.sock";
        if (!write(
                root_ + "/etc/cupsd.conf",
                "LogLevel info\nListen " + socket_.toUtf8()
                    + "\nBrowsing Off\nWebInterface No\n"
                      "DefaultAuthType None\n<Policy default>\n<Limit All>\nOrder deny,allow\nAllow all\n</Limit>\n</Policy>\n"))
            return false;
        const QByteArray r = root_.toUtf8();
        return write(root_ + "/etc/cups-files.conf",
                     "ServerRoot " + r + "/etc\nServerBin " + r + "/bin\nRequestRoot " + r + "/spool\nStateDir " + r
                         + "/state\nCacheDir " + r + "/cache\nTempDir " + r + "/tmp\nAccessLog " + r
                         + "/log/access_log\nErrorLog " + r + "/log/error_log\nPageLog " + r
                         + "/log/page_log\nPrintcap " + r + "/state/printcap\nUser " + owner.user.toUtf8() + "\nGroup "
                         + owner.group.toUtf8() + "\n");
    }

    // Points the CUPS clients at the private socket, starts cupsd and waits
    // until it answers.
    bool startScheduler()
    {
        saveEnv("CUPS_SERVER", socket_.toUtf8());
        saveEnv("HOME", root_.toUtf8()); // no lpoptions of the user
        saveEnv("PRINTER", {});
        saveEnv("LPDEST", {});

        cupsd_ = std::make_unique<QProcess>();
        cupsd_->setProcessChannelMode(QProcess::MergedChannels);
        cupsd_->setStandardOutputFile(root_ + "/log/cupsd.out");
        cupsd_->start(QStringLiteral("/usr/sbin/cupsd"),
                      {"-f", "-c", root_ + "/etc/cupsd.conf", "-s", root_ + "/etc/cups-files.conf"});
        if (!cupsd_->waitForStarted(10000))
            return fail(QStringLiteral("cupsd did not start: ") + cupsd_->errorString());
        QDeadlineTimer deadline(20000);
        while (true) {
            if (cupsd_->state() != QProcess::Running)
                return fail(QStringLiteral("cupsd stopped: ") + logTail());
            QString out;
            if (run("lpstat", {"-r"}, &out) && out.contains("is running"))
                return true;
            if (deadline.hasExpired())
                return fail(QStringLiteral("cupsd does not answer on ") + socket_ + ": " + logTail());
            QThread::msleep(100);
        }
    }

    bool addQueues(const std::vector<Queue> &queues, const JobOwner &owner)
    {
        for (const Queue &q : queues) {
            const QString jobs = root_ + "/jobs/" + q.name;
            QDir().mkpath(jobs);
            if (chown(QFile::encodeName(jobs).constData(), owner.uid, owner.gid) != 0)
                return fail(QStringLiteral("cannot hand ") + jobs + " to " + owner.user);
            const QString ppd = root_ + "/" + q.name + ".ppd";
            if (!write(ppd, this->ppd(q.makeAndModel, q.a4Only)))
                return false;
            QString out;
            if (!run("lpadmin", {"-p", q.name, "-E", "-v", "testfile:" + jobs, "-P", ppd, "-L", q.location}, &out))
                return fail(QStringLiteral("lpadmin ") + q.name + ": " + out);
            jobs_[q.name] = jobs;
        }
        return true;
    }

    bool fail(const QString &why)
    {
        error_ = QStringLiteral("private print server: ") + why;
        stop();
        return false;
    }
    bool write(const QString &path, const QByteArray &data)
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly) && f.write(data) == data.size())
            return true;
        return fail(QStringLiteral("cannot write ") + path);
    }
    void saveEnv(const char *name, const QByteArray &value)
    {
        env_.emplace_back(name, std::make_pair(qEnvironmentVariableIsSet(name), qgetenv(name)));
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    QString logTail() const
    {
        QString text;
        for (const char *f : {"/log/cupsd.out", "/log/error_log"}) {
            QFile log(root_ + f);
            if (log.open(QIODevice::ReadOnly))
                text += QString::fromUtf8(log.readAll()).right(1500);
        }
        return text;
    }
    // A PPD whose printer takes PDF as it comes, so the job file is what the
    // program sent.
    static QByteArray ppd(const QString &model, bool a4Only)
    {
        const QByteArray m = model.toLatin1();
        QByteArray text =
            "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
            "*LanguageEncoding: ISOLatin1\n*PCFileName: \"TESTPDF.PPD\"\n*Manufacturer: \"Test\"\n"
            "*Product: \"("
            + m + ")\"\n*ModelName: \"" + m + "\"\n*ShortNickName: \"" + m + "\"\n*NickName: \"" + m
            + "\"\n*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n*ColorDevice: True\n*DefaultColorSpace: RGB\n"
              "*FileSystem: False\n*Throughput: \"1\"\n*LandscapeOrientation: Plus90\n*TTRasterizer: Type42\n"
              "*cupsVersion: 2.4\n*cupsFilter2: \"application/pdf application/pdf 0 -\"\n"
              "*OpenUI *PageSize/Media Size: PickOne\n*OrderDependency: 10 AnySetup *PageSize\n*DefaultPageSize: A4\n"
              "*PageSize A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
              "*PageSize Letter/Letter: \"<</PageSize[612 792]>>setpagedevice\"\n*CloseUI: *PageSize\n"
              "*OpenUI *PageRegion: PickOne\n*OrderDependency: 10 AnySetup *PageRegion\n*DefaultPageRegion: A4\n"
              "*PageRegion A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
              "*PageRegion Letter/Letter: \"<</PageSize[612 792]>>setpagedevice\"\n*CloseUI: *PageRegion\n"
              "*DefaultImageableArea: A4\n*ImageableArea A4/A4: \"0 0 595 842\"\n"
              "*ImageableArea Letter/Letter: \"0 0 612 792\"\n*DefaultPaperDimension: A4\n"
              "*PaperDimension A4/A4: \"595 842\"\n*PaperDimension Letter/Letter: \"612 792\"\n";
        if (a4Only) {
            QList<QByteArray> lines = text.split('\n');
            lines.removeIf([](const QByteArray &l) { return l.contains("Letter"); });
            text = lines.join('\n');
        }
        return text;
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QProcess> cupsd_;
    QString root_, socket_, error_;
    std::map<QString, QString> jobs_;
    std::vector<std::pair<QByteArray, std::pair<bool, QByteArray>>> env_;
};
