package com.vantrel.runtime.launcher;

import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.Arrays;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * What both launcher classes do with the arguments the native launcher passes: apply the
 * redirection of standard error and output, then call the configured main class with the
 * user's arguments.
 */
public final class Launch {
  // Positions in the argument array the native launcher builds.
  static final int WINDOWED = 0;
  static final int MAIN_CLASS = 1;
  static final int STDERR_FILE = 2;
  static final int STDOUT_FILE = 3;
  static final int LAUNCHER_SWITCH = 4;
  static final int PROGRAM = 5;
  static final int FIRST_APPLICATION_ARGUMENT = 6;

  private static final Pattern REFERENCE = Pattern.compile("\\$\\{([^}]+)\\}");

  private Launch() {}

  /**
   * Runs the configured main class. An exception from it propagates unchanged, so the native
   * launcher sees it pending and reports the failed start.
   */
  public static void run(String[] args) throws Throwable {
    if (args == null || args.length < PROGRAM) {
      throw new IllegalArgumentException(
          "expected at least " + PROGRAM + " launcher arguments, got "
              + (args == null ? 0 : args.length));
    }
    redirect(args[STDERR_FILE], args[STDOUT_FILE]);
    clearStartMarker();
    String[] applicationArguments =
        args.length > FIRST_APPLICATION_ARGUMENT
            ? Arrays.copyOfRange(args, FIRST_APPLICATION_ARGUMENT, args.length)
            : new String[0];
    invokeMain(args[MAIN_CLASS], applicationArguments);
  }

  static void invokeMain(String className, String[] arguments) throws Throwable {
    if (className == null || className.trim().isEmpty()) {
      throw new IllegalStateException("no main class configured");
    }
    ClassLoader loader = Thread.currentThread().getContextClassLoader();
    if (loader == null) {
      loader = ClassLoader.getSystemClassLoader();
    }
    Class<?> mainClass = Class.forName(className.trim(), true, loader);
    Method main = mainClass.getMethod("main", String[].class);
    if (!Modifier.isStatic(main.getModifiers())) {
      throw new NoSuchMethodException(className + ".main(String[]) is not static");
    }
    // A public main in a class that is not public itself needs this.
    main.setAccessible(true);
    try {
      main.invoke(null, (Object) arguments);
    } catch (InvocationTargetException e) {
      throw e.getCause() != null ? e.getCause() : e;
    }
  }

  /**
   * The native launcher sets the global "InstallStarted" marker before it starts Java and
   * asks at the next start whether the last run failed while the marker is still there.
   * Java is up now, so the marker goes; without this every start after a good one would ask.
   * Done on a daemon thread through reg.exe so the application's start never waits for it.
   */
  static void clearStartMarker() {
    if (!System.getProperty("os.name", "").startsWith("Windows")) {
      return;
    }
    Thread clearer = new Thread(new Runnable() {
      @Override
      public void run() {
        try {
          Process reg = new ProcessBuilder(clearStartMarkerCommand()).redirectErrorStream(true).start();
          reg.getInputStream().close();
          reg.waitFor(10, java.util.concurrent.TimeUnit.SECONDS);
        } catch (Exception e) {
          // Leaving the marker only means one extra question at the next start.
        }
      }
    }, "start-marker");
    clearer.setDaemon(true);
    clearer.start();
  }

  static String[] clearStartMarkerCommand() {
    return new String[] {"reg", "delete", "HKCU\\SOFTWARE\\northgale\\quoll", "/v", "InstallStarted", "/f"};
  }

  /** Empty names leave the stream alone; the same file named twice gets one stream. */
  static void redirect(String errorFile, String outputFile) throws IOException {
    PrintStream error = null;
    File errorTarget = null;
    if (errorFile != null && !errorFile.isEmpty()) {
      errorTarget = new File(resolve(errorFile));
      error = open(errorTarget);
    }
    PrintStream output = null;
    if (outputFile != null && !outputFile.isEmpty()) {
      File outputTarget = new File(resolve(outputFile));
      output = errorTarget != null && sameFile(errorTarget, outputTarget) ? error : open(outputTarget);
    }
    if (error != null) {
      System.setErr(error);
    }
    if (output != null) {
      System.setOut(output);
    }
  }

  /**
   * ${name} references left in a file name (the launcher expands only its own variables and
   * environment variables) are taken from the system properties, such as ${user.home}.
   */
  static String resolve(String name) {
    Matcher m = REFERENCE.matcher(name);
    StringBuffer out = new StringBuffer();
    while (m.find()) {
      String value = System.getProperty(m.group(1));
      m.appendReplacement(out, Matcher.quoteReplacement(value != null ? value : m.group()));
    }
    m.appendTail(out);
    return out.toString();
  }

  private static boolean sameFile(File a, File b) {
    try {
      return a.getCanonicalFile().equals(b.getCanonicalFile());
    } catch (IOException e) {
      return a.getAbsoluteFile().equals(b.getAbsoluteFile());
    }
  }

  // Appends: the file may hold the output of earlier runs worth keeping.
  private static PrintStream open(File file) throws IOException {
    File parent = file.getAbsoluteFile().getParentFile();
    if (parent != null && !parent.isDirectory() && !parent.mkdirs() && !parent.isDirectory()) {
      throw new IOException("cannot create the directory " + parent);
    }
    return new PrintStream(new FileOutputStream(file, true), true);
  }
}
