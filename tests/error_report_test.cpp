#include <gtest/gtest.h>

#include <string>

#include "ui/errors.h"

TEST(ErrorReport, FullStopOnlyAfterACharacterAboveTheFullStop)
{
    EXPECT_EQ(ErrorReportText(L"Impossible d'écrire dans C:\\ProgramData\\VORTIKA\\VORTikaMonitor.ini"),
              L"Impossible d'écrire dans C:\\ProgramData\\VORTIKA\\VORTikaMonitor.ini.");
    EXPECT_EQ(ErrorReportText(L"Valeur 42"), L"Valeur 42.");
    EXPECT_EQ(ErrorReportText(L"Déjà là."), L"Déjà là.");
    EXPECT_EQ(ErrorReportText(L"Type de données incorrect pour 'COM9'"), L"Type de données incorrect pour 'COM9'");
    EXPECT_EQ(ErrorReportText(L"Erreur (5)"), L"Erreur (5)");
    EXPECT_EQ(ErrorReportText(L"Erreur !"), L"Erreur !");
    EXPECT_EQ(ErrorReportText(L"Fin -"), L"Fin -");
    EXPECT_EQ(ErrorReportText(L"Fin /"), L"Fin /.");
    EXPECT_EQ(ErrorReportText(L""), L"");
}
