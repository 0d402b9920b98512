// The files mediapack ships with — the Windows stub and the runtime jar — are found relative
// to the mediapack program itself, so that one program works in the build tree and in an
// installed release alike:
//
//   build tree          build/host/mediapack       build/win32/launcher.exe
//                                                  build/java/runtime.jar
//   installed prefix    PREFIX/bin/mediapack       PREFIX/share/mediapack/win32/launcher.exe
//   (release archive,                              PREFIX/share/mediapack/java/runtime.jar
//    Debian package)
//
// mediapack.exe, installed as PREFIX/share/mediapack/win32/mediapack.exe, finds its
// neighbours by the build-tree rule. The Linux stub is "linux/launcher" in both layouts.
#pragma once

#include <string>
#include <vector>

constexpr char kShippedWindowsStub[] = "win32/launcher.exe";
constexpr char kShippedRuntimeJar[] = "java/runtime.jar";
constexpr char kShippedLinuxStub[] = "linux/launcher";

// Where `relative` (one of the names above, "/" separated) may lie, in the order they are
// tried: under the parent of the directory of `selfPath` (the build tree), then under that
// parent's share/mediapack (a prefix). Texts only, with "." and ".." resolved.
std::vector<std::string> shippedFileCandidates(const std::string& selfPath, const std::string& relative);

// The first candidate that is an existing regular file, or "" when none is.
std::string findShippedFile(const std::string& selfPath, const std::string& relative);

// "A or B", for messages that say where a shipped file was looked for.
std::string shippedFilePlaces(const std::string& selfPath, const std::string& relative);
