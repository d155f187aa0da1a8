#include "app/NimbraApplication.h"
#include "app/NimbraDesktop.h"

int main(int argc, char* argv[]) {
    NimbraApplication app(argc, argv);

    NimbraDesktop* window = NimbraDesktop::getInstance();
    window->show();
    window->onLangueChanged(app.getRegLangue());

    const int result = app.exec();
    // Widgets must go before the application object does.
    NimbraDesktop::destroyInstance();
    return result;
}
