"""What the LibreOffice add-in tests share: a HotSync sandbox (hive, product
folders, users, as scripts/demo.sh builds it), a headless LibreOffice with a
fresh profile and the extension installed, started once per test program,
and calls of the add-in's entries through the script provider.

Run with /usr/bin/python3 (python3-uno). Exit 77 (skipped) when LibreOffice
or python3-uno is missing."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

try:
    import uno
    from com.sun.star.beans import PropertyValue
    from com.sun.star.connection import NoConnectException
except ImportError:
    uno = None

SKIP = 77
BUILD = os.environ.get("BRIGHTFOLD_BUILD_DIR", "")
OXT = os.path.join(BUILD, "addins", "brightfold-addins.oxt")
SCRIPT = ("vnd.sun.star.script:brightfold-addins.oxt|python|brightfold_addins.py$%s"
          "?language=Python&location=user:uno_packages")


def program(name):
    return os.path.join(BUILD, "bin", name)


def run(args, env=None, check=True):
    done = subprocess.run(args, env=env, capture_output=True, text=True, timeout=120)
    if check and done.returncode != 0:
        raise AssertionError("%s: exit %d\n%s%s" % (" ".join(args), done.returncode, done.stdout, done.stderr))
    return done


class Sandbox:
    """A product folder per product, the hive, HotSync users with their
    folders, a simulated handheld; env is the environment for every process."""

    def __init__(self, users=("Ann", "Bo")):
        self.root = tempfile.mkdtemp(prefix="brightfold-lo.")
        self.env = {k: v for k, v in os.environ.items() if not k.startswith("BRIGHTFOLD_")}
        self.env.update(BRIGHTFOLD_HIVE=self.path("registry.reg"), BRIGHTFOLD_UI="headless",
                        BRIGHTFOLD_HANDHELD=self.path("Handheld"), BRIGHTFOLD_BUILD_DIR=BUILD)
        os.makedirs(self.path("Palm"))
        lines = ["REGEDIT4", ""]
        for product in ("Tabulo", "Quillo"):
            os.makedirs(self.path(product))
            lines += ['[HKEY_CURRENT_USER\\Software\\Brightfold\\%s]' % product,
                      '"Path"="%s"' % self.path(product), '"Install"="Install"', '"Backup"="Backup"', ""]
            for n, user in enumerate(users):
                lines += ['[HKEY_CURRENT_USER\\Software\\Brightfold\\%s\\User%d]' % (product, n),
                          '"Name"="%s"' % user, '"Path"="%s"' % self.user_folder(user),
                          '"ID"="%d"' % (1001 + n), ""]
        with open(self.path("Tabulo", "sync.dat"), "wb") as f:
            f.write(b"\0\0\0\0")
        with open(self.path("Tabulo", "dummy.xls"), "w") as f:
            f.write("template workbook\n")
        with open(self.env["BRIGHTFOLD_HIVE"], "w") as f:
            f.write("\n".join(lines) + "\n")
        for n, user in enumerate(users):
            self.hotsync("users", "add", user, "--id", str(1001 + n), "--folder", self.user_folder(user))
        self.hotsync("notifiers", "add", "libgridlink.so")
        os.makedirs(self.path("Documents"))

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def user_folder(self, user):
        return self.path("Palm", user)

    def install(self, user, name=""):
        return os.path.join(self.user_folder(user), "Install", name)

    def hotsync(self, *args):
        return run([program("hotsync")] + list(args), self.env).stdout

    def tabulo(self, *args):
        return run([program("tabulo-addin")] + list(args), self.env).stdout

    def quillo(self, *args):
        return run([program("quillo-addin")] + list(args), self.env).stdout

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)


def read(path, mode="rb"):
    with open(path, mode) as f:
        return f.read()


def properties(**values):
    out = []
    for name, value in values.items():
        p = PropertyValue()
        p.Name, p.Value = name, value
        out.append(p)
    return tuple(out)


_started = []  # the LibreOffice processes of this program


class Office:
    """A headless LibreOffice with a fresh profile holding the extension,
    its dialogs answered by the scripted ui backend playing script."""

    def __init__(self, sandbox, script):
        self.box = sandbox
        self.profile = uno.systemPathToFileUrl(sandbox.path("profile"))
        self.env = dict(sandbox.env)
        with open(sandbox.path("ui.script"), "w") as f:
            f.write(script)
        self.env.update(BRIGHTFOLD_UI="scripted", BRIGHTFOLD_UI_SCRIPT=sandbox.path("ui.script"),
                        BRIGHTFOLD_UI_LOG=sandbox.path("ui.log"))
        self._add_extension(sandbox.path("profile"))
        self._start()

    def _add_extension(self, folder):
        """`unopkg add` into the fresh profile, as a user installs the
        extension. unopkg refuses to run as root: then it runs as nobody in
        a profile folder of nobody's, which LibreOffice, as root, can use."""
        command = ["unopkg", "add", "-env:UserInstallation=" + self.profile, OXT]
        env = dict(self.env)
        if os.geteuid() == 0:
            import pwd
            nobody = pwd.getpwnam("nobody")
            os.chmod(self.box.root, 0o755)
            os.makedirs(folder)
            os.chown(folder, nobody.pw_uid, nobody.pw_gid)
            command = ["setpriv", "--reuid=%d" % nobody.pw_uid, "--regid=%d" % nobody.pw_gid,
                       "--clear-groups"] + command
            env["HOME"] = folder
        run(command, env)

    def _start(self):
        pipe = "brightfold%d" % os.getpid()
        self.process = subprocess.Popen(
            ["soffice", "--headless", "--invisible", "--nologo", "--norestore",
             "-env:UserInstallation=" + self.profile, "--accept=pipe,name=%s;urp;" % pipe],
            env=self.env, stdout=subprocess.DEVNULL, stderr=open(self.box.path("soffice.err"), "a"))
        _started.append(self.process)
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        for _ in range(600):
            try:
                self.ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
                break
            except NoConnectException:
                if self.process.poll() is not None:
                    raise AssertionError("soffice ended with %d" % self.process.returncode)
                time.sleep(0.1)
        else:
            raise AssertionError("soffice did not answer")
        self.desktop = self.ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", self.ctx)
        factory = self.ctx.getValueByName(
            "/singletons/com.sun.star.script.provider.theMasterScriptProviderFactory")
        self.scripts = factory.createScriptProvider("")

    def call(self, entry, *args):
        """An entry of the add-in with its arguments; its report."""
        result = self.scripts.getScript(SCRIPT % entry).invoke(args, (), ())
        return result[0]

    def new(self, kind):
        return self.desktop.loadComponentFromURL("private:factory/" + kind, "_blank", 0,
                                                 properties(Hidden=True))

    def open(self, path):
        return self.desktop.loadComponentFromURL(uno.systemPathToFileUrl(path), "_blank", 0,
                                                 properties(Hidden=True))

    def documents(self):
        out, components = [], self.desktop.Components.createEnumeration()
        while components.hasMoreElements():
            out.append(components.nextElement())
        return out

    def quit(self):
        """Closes every document, ends LibreOffice through the desktop, and
        returns its exit status."""
        for doc in self.documents():
            doc.close(True)
        try:
            self.desktop.terminate()
        except Exception:  # the bridge goes down with the process
            pass
        return self.process.wait(timeout=60)

    def log(self):
        path = self.box.path("ui.log")
        return read(path, "r") if os.path.exists(path) else ""


def main(case):
    """Runs the test case class with LibreOffice started once around it;
    the exit status of LibreOffice is checked last."""
    if uno is None or not shutil.which("soffice") or not shutil.which("unopkg"):
        print("LibreOffice with python3-uno is not installed: skipped")
        sys.exit(SKIP)
    result = unittest.TextTestRunner(verbosity=2).run(unittest.defaultTestLoader.loadTestsFromTestCase(case))
    for process in _started:  # one a failed set-up left running
        if process.poll() is None:
            process.kill()
            process.wait()
    sys.exit(0 if result.wasSuccessful() else 1)
