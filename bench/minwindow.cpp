// The floor of the start: a minimal Qt Widgets window, a list in a main window, whose title holds
// the words the program's first window is found by (bench/start-cost.sh).
#include <QApplication>
#include <QListWidget>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("給与対象月/賞与時期の選択 minimal"));
    auto* list = new QListWidget;
    for (int i = 1; i <= 15; ++i) list->addItem(QStringLiteral("%1月支給給与").arg(i));
    w.setCentralWidget(list);
    w.resize(400, 500);
    w.show();
    return app.exec();
}
