/* A GTK program that loads a library and calls its AboutDialog from inside
 * its own main loop, as a GTK application hosting textlink would; a timer
 * closes every window the dialog opened, as a person closing it would.
 * Prints the dialog's answer and the main loop's level during the call.
 *   gtk_host LIBRARY */
#include <dlfcn.h>
#include <gtk/gtk.h>
#include <stdio.h>

static void* library;

static gboolean close_windows(gpointer unused) {
    (void)unused;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next)
        if (gtk_widget_get_visible(GTK_WIDGET(w->data))) gtk_window_close(GTK_WINDOW(w->data));
    g_list_free(windows);
    return G_SOURCE_CONTINUE;
}

static gboolean open_about(gpointer unused) {
    (void)unused;
    short (*about)(void) = (short (*)(void))dlsym(library, "AboutDialog");
    int level = (int)gtk_main_level();
    int answer = about ? about() : -1;
    printf("%d %d\n", answer, level);
    fflush(stdout);
    gtk_main_quit();
    return G_SOURCE_REMOVE;
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    gtk_init(&argc, &argv);
    library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    g_idle_add(open_about, NULL);
    g_timeout_add(300, close_windows, NULL);
    gtk_main();
    return 0;
}
