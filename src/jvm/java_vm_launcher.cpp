// Creating the JVM and calling the launcher class. Every JNI call is made on the thread that
// created the VM; local references are left to the VM (the process ends soon after).
#include "jvm/java_vm_launcher.h"

#include <algorithm>
#include <cstdlib>

#include "base/config_table.h"
#include "base/error_report.h"
#include "base/text.h"
#include "jvm/class_path.h"
#include "jvm/jvm_library.h"
#include "jvm/vm_options.h"
#include "platform/diagnostic_log.h"
#include "platform/expand_variables.h"
#include "platform/paths.h"

namespace {
constexpr char kLibraryPathPrefix[] = "-Djava.library.path=";
constexpr size_t kMaxConfiguredText = 8191;

JvmInstance instance;

bool isInstallerKind() {
  const std::string kind = getConfigText(CFG_PRODUCT_KIND);
  return !kind.empty() && kind[0] == 'i';
}

std::string configText(ConfigId id) {
  std::string text = getConfigText(id);
  if (text.size() > kMaxConfiguredText) text.resize(kMaxConfiguredText);
  return text;
}

std::string property(const char* name, const std::string& value) {
  return std::string("-D") + name + "=" + value;
}

// For the log only: what the file functions' code page can show, "?" elsewhere.
std::string loggable(const std::u16string& text) {
  std::string narrow = wideToNarrowLossy(text);
  if (narrow.size() > kMaxConfiguredText) narrow.resize(kMaxConfiguredText);
  return narrow;
}

// A failed allocation in the VM leaves an OutOfMemoryError pending: shown, and the start
// reported as failed rather than passing a damaged argument list.
bool argumentsFailed(JNIEnv* env, const char* what) {
  logError("could not create the arguments of main (%s)", what);
  if (env->ExceptionOccurred() != nullptr) env->ExceptionDescribe();
  return false;
}
}  // namespace

JvmInstance& jvmInstance() { return instance; }

std::string libraryPathOption(const std::string& path) {
  const std::string prefix = kLibraryPathPrefix;
  return path.size() > kMaxPropertyText - prefix.size() ? prefix : prefix + path;
}

std::vector<std::string> composeLauncherProperties(const LauncherPropertyInputs& in) {
  std::vector<std::string> properties;
  if (in.hasSemaphoreName) properties.push_back(property("quoll.semaphoreName", in.semaphoreName));
  if (in.manualJre) properties.push_back(property("quoll.manualJre", "true"));
  properties.push_back(property("quoll.jev", "true"));
  if (in.installer) properties.push_back(property("quoll.isVantrel", "true"));
  properties.push_back(property("quoll.moduleName", in.modulePath));
  if (in.hasProcessCommFile) properties.push_back(property("quoll.processCommFile", in.processCommFile));
  properties.push_back(property("quoll.tempDir", in.tempDir));
  // The Java side reads the position as a 32-bit number; a restarted launcher has no payload
  // left to offer.
  const int32_t position = in.restart ? -1 : static_cast<int32_t>(in.unextractedPosition);
  properties.push_back(property("quoll.unextractedPosition", std::to_string(position)));
  properties.push_back(libraryPathOption(in.path));
  if (in.hasConsoleCodepage) {
    properties.push_back(property("quoll.consoleCodepage", "cp" + std::to_string(in.consoleCodepage)));
  }
  return properties;
}

std::u16string redirectionArgument(bool enabled, const std::string& file) {
  if (!enabled) return std::u16string();
  std::string text = file.substr(0, kMaxConfiguredText);
  expandVariables(text);
  // Still starting with "$": a reference the Java side resolves (such as ${user.home}).
  if (text.empty() || text[0] != '$') text = normalizePath(text, true);
  return configTextToWide(text);
}

std::vector<std::u16string> composeLauncherArguments(const std::vector<std::u16string>& arguments) {
  std::vector<std::u16string> out;
  out.push_back(getConfigInt(CFG_EXECUTABLE_TYPE) == 1 ? u"true" : u"false");
  out.push_back(configTextToWide(getConfigText(CFG_MAIN_CLASS)));
  out.push_back(redirectionArgument(getConfigInt(CFG_REDIRECT_STDERR) != 0, getConfigText(CFG_STDERR_FILE)));
  out.push_back(redirectionArgument(getConfigInt(CFG_REDIRECT_STDOUT) != 0, getConfigText(CFG_STDOUT_FILE)));
  out.push_back(getConfigInt(CFG_LAUNCHER_SWITCH) != 0 ? u"true" : u"false");
  if (!arguments.empty()) out.push_back(arguments[0]);

  std::string fixed = configText(CFG_ARGUMENTS);
  expandVariables(fixed);
  splitCommandLine(configTextToWide(fixed), out);

  // "-J" arguments became VM options; token 0 is the program and is passed whatever it is.
  const bool dropJ = getConfigInt(CFG_ACCEPT_J_ARGUMENTS) != 0;
  for (size_t i = 1; i < arguments.size(); ++i) {
    if (dropJ && arguments[i].compare(0, 2, u"-J") == 0) continue;
    out.push_back(arguments[i]);
  }
  return out;
}

std::string firstRunMarker() {
  return normalizePath(configText(CFG_APP_HOME_DIRECTORY), true) + "\\.vantrel\\firstrun";
}

LauncherPropertyInputs gatherLauncherPropertyInputs(const LaunchSettings& run) {
  LauncherPropertyInputs in;
  in.hasSemaphoreName = !run.semaphoreName.empty();
  in.semaphoreName = run.semaphoreName;
  in.manualJre = run.manualJre;
  in.installer = isInstallerKind();
  in.modulePath = getModulePath();
  if (getConfigInt(CFG_PROCESS_COMM_FILE) != 0) {
    in.hasProcessCommFile = true;
    in.processCommFile = processCommFileName();
  }
  in.tempDir = run.tempDir;
  in.restart = run.restart;
  in.unextractedPosition = run.unextractedPosition;
  readProcessVariable("PATH", in.path);
  // MANPATH marks a Unix-like shell (Cygwin, MSYS), whose terminal does not use the
  // console's code page.
  in.hasConsoleCodepage = getenv("MANPATH") == nullptr && consoleOutputCodepage(in.consoleCodepage);
  return in;
}

bool checkFirstRun() {
  if (!fileExists(firstRunMarker())) return true;
  JNIEnv* env = instance.env;
  jclass firstRun = env->FindClass(kFirstRunClass);
  if (firstRun == nullptr) fatalInternalError(InternalError::FirstRunClass);
  jmethodID method = env->GetStaticMethodID(firstRun, "firstRun", "()Z");
  if (method == nullptr) fatalInternalError(InternalError::FirstRunMethod);
  const jboolean result = env->CallStaticBooleanMethod(firstRun, method);
  if (env->ExceptionOccurred() != nullptr) {
    env->ExceptionDescribe();
    return false;
  }
  return result != JNI_FALSE;
}

bool callMain(const std::vector<std::u16string>& arguments) {
  const bool installer = isInstallerKind();
  if (installer && !checkFirstRun()) {
    logMessage("checkFirstRun stopped further execution");
    return true;
  }
  JNIEnv* env = instance.env;
  const char* className = installer ? kInstallerLauncherClass : kApplicationLauncherClass;
  logMessage("main class: %s", className);
  jclass launcherClass = env->FindClass(className);
  if (launcherClass == nullptr) {
    logError("could not find main class");
    fatalConfigError(CFG_MSG_NO_MAIN_CLASS);
  }
  jmethodID main = env->GetStaticMethodID(launcherClass, "main", "([Ljava/lang/String;)V");
  if (main == nullptr) {
    logError("could not find main method");
    fatalConfigError(CFG_MSG_NO_MAIN_METHOD);
  }

  const std::vector<std::u16string> parameters = composeLauncherArguments(arguments);
  logMessage("param count: %d", static_cast<int>(parameters.size()));
  jclass stringClass = env->FindClass("java/lang/String");
  if (stringClass == nullptr) return argumentsFailed(env, "java/lang/String");
  jobjectArray paramArray =
      env->NewObjectArray(static_cast<jsize>(parameters.size()), stringClass, nullptr);
  if (paramArray == nullptr) return argumentsFailed(env, "paramArray");
  for (size_t i = 0; i < parameters.size(); ++i) {
    logMessage("param %d: %s", static_cast<int>(i), loggable(parameters[i]).c_str());
    // Straight from UTF-16: no narrow detour, so every character reaches Java.
    jstring jstr = env->NewString(reinterpret_cast<const jchar*>(parameters[i].data()),
                                  static_cast<jsize>(parameters[i].size()));
    if (jstr == nullptr) return argumentsFailed(env, "jstr");
    env->SetObjectArrayElement(paramArray, static_cast<jsize>(i), jstr);
  }

  logMessage("calling main");
  env->CallStaticVoidMethod(launcherClass, main, paramArray);
  logMessage("main returned");
  if (env->ExceptionOccurred() != nullptr) {
    logError("an exception occured");
    env->ExceptionDescribe();
    return false;
  }
  return true;
}

bool launchProgram(const std::vector<std::u16string>& arguments, const LaunchSettings& run) {
  logMessage("launching program");
  std::vector<std::string> properties = composeLauncherProperties(gatherLauncherPropertyInputs(run));
  if (run.linuxVm) {
    // Only the launcher's own property: one the installer's options set stays.
    const std::string libraryPath = libraryPathOption("");
    properties.erase(std::remove_if(properties.begin(), properties.end(),
                                    [&libraryPath](const std::string& property) {
                                      return property.compare(0, libraryPath.size(), libraryPath) == 0;
                                    }),
                     properties.end());
  }
  // Kept for the rest of the process: the VM is handed pointers into it.
  static VmCreationArguments* creation = nullptr;
  creation = new VmCreationArguments();
  std::vector<std::string> options = collectVmOptionList(properties, arguments, getModulePath(), run.tempDir);
  if (run.linuxVm) {
    for (std::string& option : options) option = posixClassPathOption(option);
  }
  fillVmCreationArguments(std::move(options), *creation);

  logMessage("Creating JVM");
  const CreateJavaVMFunction create = jvmLibrary().createJavaVMEntry;
  const jint created =
      create != nullptr
          ? create(&instance.vm, reinterpret_cast<void**>(&instance.env), &creation->initArgs)
          : JNI_ERR;
  if (created != JNI_OK) {
    logError("could not initialize JVM");
    return false;
  }
  logMessage("JVM created");
  if (run.handOver) run.handOver();

  if (!callMain(arguments)) {
    logError("could not call main");
    return false;
  }
  logMessage("dest JVM");
  instance.vm->DestroyJavaVM();
  logMessage("launch done");
  return true;
}
