#pragma once

#include <QString>
#include <QWidget>
#include <functional>

// Helpers for widget tests that run offscreen under one QApplication (WidgetTestMain.cpp).

// Runs pfnWhileOpen once the next modal window (dialog or message box) is showing; it
// must end that window. When none opens within nTimeoutMs the test fails there and then,
// and any dialog that did open is rejected so that its DoModal returns.
void WhenModalOpens(std::function<void(QWidget*)> pfnWhileOpen, int nTimeoutMs = 30000);

// Closes the next message box with its default button and returns its caption and text
// through the pointers when it has shown.
void AnswerNextMessageBox(QString* pCaption, QString* pText, int nButton = 0);

// Lets deleteLater() and posted events run.
void ProcessEvents();

// Runs events until pred holds; false when nTimeoutMs pass first.
bool ProcessEventsUntil(const std::function<bool()>& pred, int nTimeoutMs = 10000);

// Top-level windows still alive and visible (a leak when a test has closed everything).
int VisibleTopLevelCount();
