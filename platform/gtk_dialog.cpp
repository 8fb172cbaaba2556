// Modal dialogs on GTK 3: builds a dialog from a GtkBuilder template in the
// program's resources, turns its dialog units into pixels, and turns clicks,
// Escape and close requests into commands for the dialog procedure.
//
// Needs GTK 3 and the resource bundle compiled from resources/. GTK starts
// without touching the process locale, so that numbers read the same under
// every locale ("1.5" is one and a half, never one).
#include "platform/gtk_dialog.h"

#include <gtk/gtk.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

// Made by glib-compile-resources from resources/startup_dialog.gresource.xml.
extern "C" void vantrel_resources_register_resource(void);

static const char* const templateFolder = "/org/vantrel/dialogs/";

// A dialog unit is 1.8 pixels across and 1.6 down: about what an 8-point font
// gives at 96 dots per inch, rounded so that a 279 x 113 unit picture area
// holds a 500 x 177 picture.
constexpr double pixelsPerUnitAcross = 1.8;
constexpr double pixelsPerUnitDown = 1.6;

struct PlatformDialog {
    GtkBuilder* builder;
    GtkWindow* window;
    PlatformDialogProc procedure;
    bool ended;
    intptr_t result;
    bool settingState; // a state the program sets sends no command
};

static struct {
    bool tried;
    bool started;
} gtk;

// ---------------------------------------------------------------------------
// Start

static bool startGtk() {
    if (!gtk.tried) {
        gtk.tried = true;
        // Left to itself GTK sets the process locale from the environment, and
        // under a locale with a decimal comma every "1.5" the program reads
        // with the C library would read as 1.
        gtk_disable_setlocale();
        gtk.started = gtk_init_check(nullptr, nullptr);
        if (gtk.started)
            vantrel_resources_register_resource();
    }
    return gtk.started;
}

static void reportNoDisplay() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0')
        std::fprintf(stderr, "vantrel: cannot show the dialog: no display (DISPLAY is not set)\n");
    else
        std::fprintf(stderr, "vantrel: cannot show the dialog: cannot open the display %s\n",
                     display);
}

static std::string templatePath(const char* name, const char* extension) {
    return std::string(templateFolder) + name + extension;
}

static GtkBuilder* loadTemplate(const char* name) {
    std::string path = templatePath(name, ".ui");
    GtkBuilder* builder = gtk_builder_new();
    GError* error = nullptr;
    if (gtk_builder_add_from_resource(builder, path.c_str(), &error) == 0) {
        std::fprintf(stderr, "vantrel: cannot show the dialog: %s: %s\n", path.c_str(),
                     error->message);
        g_error_free(error);
        g_object_unref(builder);
        return nullptr;
    }
    if (!GTK_IS_WINDOW(gtk_builder_get_object(builder, "dialog"))) {
        std::fprintf(stderr, "vantrel: cannot show the dialog: %s has no window \"dialog\"\n",
                     path.c_str());
        g_object_unref(builder);
        return nullptr;
    }
    return builder;
}

static void applyStyleSheet(const char* name) {
    std::string path = templatePath(name, ".css");
    if (!g_resources_get_info(path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr, nullptr,
                              nullptr))
        return;
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_resource(provider, path.c_str());
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                              GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

// ---------------------------------------------------------------------------
// Layout: dialog units to pixels. Each edge is rounded on its own, so that
// controls which meet in units meet in pixels too.

static int pixelsAcross(int units) {
    return static_cast<int>(std::lround(units * pixelsPerUnitAcross));
}
static int pixelsDown(int units) {
    return static_cast<int>(std::lround(units * pixelsPerUnitDown));
}

static void placeControl(GtkWidget* control, gpointer area) {
    int x = 0;
    int y = 0;
    gtk_container_child_get(GTK_CONTAINER(area), control, "x", &x, "y", &y, nullptr);
    int width = -1;
    int height = -1;
    gtk_widget_get_size_request(control, &width, &height);
    int left = pixelsAcross(x);
    int top = pixelsDown(y);
    gtk_fixed_move(GTK_FIXED(area), control, left, top);
    gtk_widget_set_size_request(control, width < 0 ? -1 : pixelsAcross(x + width) - left,
                                height < 0 ? -1 : pixelsDown(y + height) - top);
}

static void layOutInPixels(GtkWindow* window) {
    GtkWidget* area = gtk_bin_get_child(GTK_BIN(window));
    if (!GTK_IS_FIXED(area))
        return;
    int width = -1;
    int height = -1;
    gtk_widget_get_size_request(area, &width, &height);
    gtk_widget_set_size_request(area, width < 0 ? -1 : pixelsAcross(width),
                                height < 0 ? -1 : pixelsDown(height));
    gtk_container_foreach(GTK_CONTAINER(area), placeControl, area);
}

// ---------------------------------------------------------------------------
// Commands

// A control's id is its command number; -1 for any other id.
static int commandNumber(GObject* control) {
    const char* id = gtk_buildable_get_name(GTK_BUILDABLE(control));
    if (id == nullptr || id[0] == '\0')
        return -1;
    char* end = nullptr;
    long number = std::strtol(id, &end, 10);
    if (*end != '\0' || number < 0 || number > 0xFFFF)
        return -1;
    return static_cast<int>(number);
}

static void sendCommand(PlatformDialog* dialog, int command) {
    dialog->procedure(dialog, WM_COMMAND, static_cast<uintptr_t>(command), 0);
}

static void onClicked(GtkButton* button, gpointer data) {
    auto* dialog = static_cast<PlatformDialog*>(data);
    int command = commandNumber(G_OBJECT(button));
    if (!dialog->settingState && command >= 0)
        sendCommand(dialog, command);
}

static gboolean onKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    if (event->keyval != GDK_KEY_Escape)
        return FALSE;
    sendCommand(static_cast<PlatformDialog*>(data), IDCANCEL);
    return TRUE;
}

static gboolean onCloseRequest(GtkWidget*, GdkEvent*, gpointer data) {
    sendCommand(static_cast<PlatformDialog*>(data), IDCANCEL);
    return TRUE; // the dialog stays: the procedure ends it, or nothing does
}

static void connectControls(PlatformDialog* dialog) {
    GSList* objects = gtk_builder_get_objects(dialog->builder);
    for (GSList* item = objects; item != nullptr; item = item->next)
        if (GTK_IS_BUTTON(item->data))
            g_signal_connect(item->data, "clicked", G_CALLBACK(onClicked), dialog);
    g_slist_free(objects);
    g_signal_connect(dialog->window, "key-press-event", G_CALLBACK(onKeyPress), dialog);
    g_signal_connect(dialog->window, "delete-event", G_CALLBACK(onCloseRequest), dialog);
}

// ---------------------------------------------------------------------------
// Running

static void showDialog(PlatformDialog* dialog, bool focusFirstControl) {
    gtk_widget_show_all(GTK_WIDGET(dialog->window));
    // Showing a window focuses its first control; the procedure decides.
    if (focusFirstControl)
        gtk_widget_child_focus(GTK_WIDGET(dialog->window), GTK_DIR_TAB_FORWARD);
    else
        gtk_window_set_focus(dialog->window, nullptr);
}

// Lets the dialog vanish from the screen before whatever window comes next.
static void closeDialog(PlatformDialog* dialog) {
    gtk_widget_destroy(GTK_WIDGET(dialog->window));
    g_object_unref(dialog->builder);
    while (gtk_events_pending())
        gtk_main_iteration();
    gdk_display_sync(gdk_display_get_default());
}

intptr_t platformDialogBox(const char* name, PlatformDialogProc procedure, intptr_t initParam) {
    if (!startGtk()) {
        reportNoDisplay();
        return -1;
    }
    GtkBuilder* builder = loadTemplate(name);
    if (builder == nullptr)
        return -1;
    applyStyleSheet(name);
    PlatformDialog dialog{
        builder, GTK_WINDOW(gtk_builder_get_object(builder, "dialog")), procedure, false, 0, false};
    layOutInPixels(dialog.window);
    connectControls(&dialog);
    bool focusFirstControl = procedure(&dialog, WM_INITDIALOG, 0, initParam) != 0;
    if (!dialog.ended)
        showDialog(&dialog, focusFirstControl);
    while (!dialog.ended)
        gtk_main_iteration();
    closeDialog(&dialog);
    return dialog.result;
}

void platformEndDialog(PlatformDialog* dialog, intptr_t result) {
    dialog->ended = true;
    dialog->result = result;
}

static GtkToggleButton* toggleButton(PlatformDialog* dialog, int control) {
    std::string id = std::to_string(control);
    GObject* object = gtk_builder_get_object(dialog->builder, id.c_str());
    return GTK_IS_TOGGLE_BUTTON(object) ? GTK_TOGGLE_BUTTON(object) : nullptr;
}

void platformCheckDlgButton(PlatformDialog* dialog, int control, uint32_t state) {
    GtkToggleButton* button = toggleButton(dialog, control);
    if (button == nullptr)
        return;
    dialog->settingState = true;
    gtk_toggle_button_set_active(button, state == BST_CHECKED);
    dialog->settingState = false;
}

uint32_t platformIsDlgButtonChecked(PlatformDialog* dialog, int control) {
    GtkToggleButton* button = toggleButton(dialog, control);
    if (button == nullptr)
        return BST_UNCHECKED;
    return gtk_toggle_button_get_active(button) ? BST_CHECKED : BST_UNCHECKED;
}
