#pragma once
// Eval Expr: an expression in x and z evaluated once per point of the X axis becomes a new graph.

#include <string>

#include <gtk/gtk.h>

class PlotModel;

// Fills result (a fresh model) with one graph titled with the expression: x runs over the sample
// positions, or evenly over [xMin, xMax] when both texts give a range with xMax > xMin, and z
// carries the previous result. False when the expression does not compile.
bool evaluateExpression(const PlotModel& live, const std::string& expression, const std::string& xMinText,
                        const std::string& xMaxText, PlotModel& result);

// The "Input Dialog": true when confirmed; the three texts are filled only then.
bool runInputDialog(GtkWidget* parent, std::string& expression, std::string& xMinText, std::string& xMaxText);

// The "Eval Expr" menu command (user data IOData).
void onEvalExpression(GtkMenuItem* item, gpointer data);
