package jvmtest;

import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStreamWriter;
import java.io.Writer;
import java.nio.charset.StandardCharsets;

/** An application started through the real runtime jar: records its arguments and writes
 *  one line to each standard stream, which the runtime jar has redirected. */
public final class AppMain {
  private AppMain() {}

  public static void main(String[] args) throws IOException {
    try (Writer out = new OutputStreamWriter(
        new FileOutputStream(System.getProperty("jvmtest.out"), true), StandardCharsets.UTF_8)) {
      out.write("app\t" + args.length + "\n");
      for (int i = 0; i < args.length; i++) {
        out.write("arg\t" + i + "\t" + args[i] + "\n");
      }
    }
    System.err.println("to standard error");
    System.out.println("to standard output");
  }
}
