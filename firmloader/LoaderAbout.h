// SPDX-License-Identifier: BSD-3-Clause
// LoaderAbout: the program icon, the version text and OK.
#pragma once

#include <QDialog>

class LoaderAbout : public QDialog {
    Q_OBJECT
public:
    explicit LoaderAbout(QWidget* parent = nullptr);
};
