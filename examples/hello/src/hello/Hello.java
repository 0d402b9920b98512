package hello;

/** The smallest installer: says hello with the arguments it was given. */
public final class Hello {
  public static void main(String[] args) {
    System.out.println("Hello from the installer, " + args.length + " argument(s)");
    for (String arg : args) {
      System.out.println("  " + arg);
    }
  }
}
