// SPDX-License-Identifier: BSD-3-Clause
// firmloader: download a firmware image into the reader over its HID boot
// interface.
#include <QApplication>

#include "bootdev/HidapiBackend.h"
#include "firmloader/LoaderDialog.h"
#include "firmloader/UdevDeviceWatch.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    std::unique_ptr<HidBackend> backend = MakeHidapiBackend();
    UdevDeviceWatch watch;
    LoaderDialog dialog(*backend, watch);
    dialog.exec();
    return 0;
}
