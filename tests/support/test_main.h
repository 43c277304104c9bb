#pragma once
// One test executable per subsystem holds several test classes. Each class registers
// itself with KESTRUM_TEST(Class); the shared main runs them all, or only the class named
// as the first argument (the other arguments go to Qt Test).

#include <QObject>

#include <functional>
#include <memory>

using TestFactory = std::function<std::unique_ptr<QObject>()>;
int RegisterTestClass(const char* name, TestFactory factory);

#define KESTRUM_TEST(Class)                     \
    static const int kestrumRegistered##Class = \
        RegisterTestClass(#Class, [] { return std::unique_ptr<QObject>(new Class); });
