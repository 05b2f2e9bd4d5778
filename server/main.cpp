#include "Admin.h"
#include "CommandLine.h"
#include "HttpService.h"
#include "Service.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const Invocation inv = CommandLine::parse(app.arguments().mid(1));
    if (!inv.error.isEmpty()) {
        err << inv.error << "\n" << CommandLine::usage();
        return 2;
    }
    if (inv.command == QLatin1String("help")) {
        out << CommandLine::usage();
        return 0;
    }
    if (!inv.command.isEmpty())
        return Admin(inv.config, out, err).run(inv.command, inv.args);

    Service service(inv.config);
    QString error;
    if (!service.open(&error)) {
        err << "quillmere-server: cannot open " << inv.config.dataDir << ": " << error << "\n";
        return 1;
    }
    HttpService http(service);
    const quint16 port = http.listen(inv.config.host, inv.config.port);
    if (port == 0) {
        err << "quillmere-server: cannot listen on " << inv.config.host.toString() << ":" << inv.config.port << "\n";
        return 1;
    }
    if (!service.recordPublicUrl(port)) {
        err << "quillmere-server: cannot record the public address in " << inv.config.dataDir << "\n";
        return 1;
    }
    out << "quillmere-server: serving " << inv.config.dataDir << " on " << inv.config.host.toString() << ":" << port
        << "\n";
    out.flush();
    // Scripts and tests wait for this line; stdout is block-buffered when it is a pipe.
    fflush(stdout);
    return app.exec();
}
