# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Interface targets that carry the project's compiler and linker settings.
# They are linked into the project's own targets only, never set globally,
# so GoogleTest and other third-party code build with their own flags.

include(CheckPIESupported)

# Warnings for every target of ours.
add_library(mkentry_warnings INTERFACE)
target_compile_options(mkentry_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wconversion -Wshadow
    $<$<BOOL:${MKENTRY_WERROR}>:-Werror>)

# What the tool is compiled as: C++20 without the runtime support it does
# not use. Without exceptions and RTTI nothing pulls in libstdc++ itself.
add_library(mkentry_code INTERFACE)
target_compile_features(mkentry_code INTERFACE cxx_std_20)
target_compile_options(mkentry_code INTERFACE -fno-exceptions -fno-rtti)
# 64-bit file offsets on 32-bit targets too (ARMv7): without them stat and
# open fail on an image file of 2 GiB or more.
target_compile_definitions(mkentry_code INTERFACE _FILE_OFFSET_BITS=64)
# 64-bit division on 32-bit ARM calls helpers of libgcc; g++ would take them
# from the shared libgcc_s, a second library to load at every start.
target_link_options(mkentry_code INTERFACE -static-libgcc)
# The C runtime's start files refer weakly to __gmon_start__ (gprof) and
# _ITM_* (transactional memory), neither used here. x86's ld leaves them
# to the dynamic loader, which looks each up in vain at every start; told
# so, it resolves them to zero itself. ARM's ld ignores the option.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86)$")
    target_link_options(mkentry_code INTERFACE LINKER:-z,nodynamic-undefined-weak)
endif()
target_link_libraries(mkentry_code INTERFACE mkentry_warnings)

# Hardening of the shipped binary.
add_library(mkentry_hardening INTERFACE)
if(MKENTRY_HARDEN)
    check_pie_supported(LANGUAGES CXX)
    set_property(TARGET mkentry_hardening PROPERTY INTERFACE_POSITION_INDEPENDENT_CODE ON)
    target_compile_options(mkentry_hardening INTERFACE
        -fstack-protector-strong
        # glibc refuses to fortify unoptimised code and says so.
        $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
    target_link_options(mkentry_hardening INTERFACE
        LINKER:-z,relro LINKER:-z,now LINKER:-z,noexecstack)
endif()
