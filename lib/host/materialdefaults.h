#ifndef MATERIALDEFAULTS_H
#define MATERIALDEFAULTS_H

#include "material.h"

#include <QString>

// The material each cutter has loaded, remembered between runs in the host's settings file
// ($XDG_CONFIG_HOME/kt-rv8/ktrv8.ini, beside the window's). A cutter is named by its
// Address::cutterKey(); an empty name is the default for any cutter.
class MaterialDefaults
{
public:
    static ktconv::Material load(const QString& cutter);
    // False with a message when the settings file cannot be written.
    static bool save(const QString& cutter, const ktconv::Material& material, QString* error);
};

#endif // MATERIALDEFAULTS_H
