// The driver the integration tests run: the one compiled into the test program, or, when the
// environment names a kernel image in VEXACAM_DRIVER_IMAGE, that image loaded by the host's
// image loader (the 32-bit build's `image` tests). The tests reach either only through the
// framework's client; they may still read the DeviceContext, whose layout the 32-bit build
// shares with the image (proven field by field in tests/image/platform_abi_test.cpp), and may
// build requests from the format table compiled into the program, whose bytes are the image's.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "host/framework/linked_driver.h"

// The image file under test, or null for the compiled-in driver.
inline const char* DriverImageUnderTest() {
    const char* path = std::getenv("VEXACAM_DRIVER_IMAGE");
    return path != nullptr && *path != '\0' ? path : nullptr;
}

inline NTSTATUS LoadDriverUnderTest(std::unique_ptr<host::LoadedDriver>* driver) {
    const char* image = DriverImageUnderTest();
    if (image == nullptr) return host::LoadedDriver::LoadLinked(driver);
    std::string problem;
    const NTSTATUS status = host::LoadedDriver::LoadImage(image, driver, &problem);
    if (!problem.empty()) std::fprintf(stderr, "%s\n", problem.c_str());
    return status;
}

// For a test that calls the driver's routines or reads its globals directly: with an image
// under test those would be the compiled-in copy's, so the test does not apply. (GoogleTest.)
#define SKIP_WITH_DRIVER_IMAGE(reason)                                          \
    do {                                                                        \
        if (DriverImageUnderTest() != nullptr) GTEST_SKIP() << (reason);        \
    } while (0)
