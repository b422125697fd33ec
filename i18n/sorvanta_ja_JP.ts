<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
    <context>
        <name>ChannelMetersItem</name>
        <message>
            <source>CHANNEL LEVELS</source>
            <translation>チャンネルレベル</translation>
        </message>
        <message>
            <source>waiting for samples</source>
            <translation>サンプル待機中</translation>
        </message>
    </context>
    <context>
        <name>SpectrogramItem</name>
        <message>
            <source>SPECTRUM PREVIEW</source>
            <translation>スペクトルプレビュー</translation>
        </message>
        <message>
            <source>waiting for samples</source>
            <translation>サンプル待機中</translation>
        </message>
    </context>
    <context>
        <name>FilePickerDialog</name>
        <message>
            <source>Cannot open folder: </source>
            <translation>フォルダーを開けません: </translation>
        </message>
        <message>
            <source>New Folder</source>
            <translation>新しいフォルダー</translation>
        </message>
        <message>
            <source>Cannot create folder here</source>
            <translation>ここにはフォルダーを作成できません</translation>
        </message>
        <message>
            <source>A folder with this name already exists</source>
            <translation>同じ名前のフォルダーが既にあります</translation>
        </message>
        <message>
            <source>Invalid folder name</source>
            <translation>無効なフォルダー名です</translation>
        </message>
        <message>
            <source>Selected: </source>
            <translation>選択: </translation>
        </message>
        <message>
            <source>Enter a file name</source>
            <translation>ファイル名を入力してください</translation>
        </message>
        <message>
            <source>Save to: </source>
            <translation>保存先: </translation>
        </message>
        <message>
            <source>Select a file</source>
            <translation>ファイルを選択してください</translation>
        </message>
        <message>
            <source>Up</source>
            <translation>上へ</translation>
        </message>
        <message>
            <source>Empty folder</source>
            <translation>空のフォルダー</translation>
        </message>
        <message>
            <source>File name:</source>
            <translation>ファイル名:</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>キャンセル</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
    </context>
    <context>
        <name>MeasurementsPage</name>
        <message>
            <source>Location: %1</source>
            <translation>場所: %1</translation>
        </message>
        <message>
            <source>Scene: %1</source>
            <translation>シーン: %1</translation>
        </message>
        <message>
            <source>Project</source>
            <translation>プロジェクト</translation>
        </message>
        <message>
            <source>Open or create a local Sorvanta project</source>
            <translation>ローカルの Sorvanta プロジェクトを開くか作成してください</translation>
        </message>
        <message>
            <source>New</source>
            <translation>新規</translation>
        </message>
        <message>
            <source>Open</source>
            <translation>開く</translation>
        </message>
        <message>
            <source>Recent</source>
            <translation>最近</translation>
        </message>
        <message>
            <source>Refresh</source>
            <translation>更新</translation>
        </message>
        <message>
            <source>Delete</source>
            <translation>削除</translation>
        </message>
        <message>
            <source>MEASUREMENTS</source>
            <translation>測定</translation>
        </message>
        <message>
            <source>manifest index</source>
            <translation>マニフェスト索引</translation>
        </message>
        <message>
            <source>No Measurements in this Project</source>
            <translation>このプロジェクトには測定がありません</translation>
        </message>
        <message>
            <source>No Project open</source>
            <translation>プロジェクトが開かれていません</translation>
        </message>
        <message>
            <source>Measurement inspector</source>
            <translation>測定インスペクター</translation>
        </message>
        <message>
            <source>Historical data is interpreted with its frozen Device Profile, never the current Live Profile.</source>
            <translation>過去のデータは、現在のライブプロファイルではなく、記録時に固定されたデバイスプロファイルで解釈されます。</translation>
        </message>
        <message>
            <source>Immutable Measurement</source>
            <translation>変更不可の測定</translation>
        </message>
        <message>
            <source>FROZEN DEVICE PROFILE</source>
            <translation>固定デバイスプロファイル</translation>
        </message>
        <message>
            <source>Recorded profile hash  %1</source>
            <translation>記録時のプロファイルハッシュ  %1</translation>
        </message>
        <message>
            <source>Geometry hash  %1</source>
            <translation>ジオメトリハッシュ  %1</translation>
        </message>
        <message>
            <source>RAW ASSET PRESENT  ·  Recorded raw hash  %1</source>
            <translation>生データあり  ·  記録時の生データハッシュ  %1</translation>
        </message>
        <message>
            <source>RAW ASSET MISSING  ·  Recorded raw hash  %1</source>
            <translation>生データなし  ·  記録時の生データハッシュ  %1</translation>
        </message>
        <message>
            <source>Manage Measurement</source>
            <translation>測定の管理</translation>
        </message>
        <message>
            <source>Alias/notes are metadata only - raw payload and hashes stay immutable</source>
            <translation>別名とメモはメタデータのみです - 生データとハッシュは変更されません</translation>
        </message>
        <message>
            <source>Replay</source>
            <translation>リプレイ</translation>
        </message>
        <message>
            <source>Rename</source>
            <translation>名前の変更</translation>
        </message>
        <message>
            <source>Note</source>
            <translation>メモ</translation>
        </message>
        <message>
            <source>Alias: %1</source>
            <translation>別名: %1</translation>
        </message>
        <message>
            <source>Select a valid Measurement</source>
            <translation>有効な測定を選択してください</translation>
        </message>
        <message>
            <source>Open a Project to inspect its Measurements</source>
            <translation>測定を確認するにはプロジェクトを開いてください</translation>
        </message>
        <message>
            <source>invalid</source>
            <translation>無効</translation>
        </message>
        <message>
            <source>RAW ASSET MISSING · %1 ch · %2 Hz</source>
            <translation>生データなし · %1 ch · %2 Hz</translation>
        </message>
        <message>
            <source>profile unknown</source>
            <translation>プロファイル不明</translation>
        </message>
        <message>
            <source>video</source>
            <translation>映像</translation>
        </message>
        <message>
            <source>Select Sorvanta Project Directory</source>
            <translation>Sorvanta プロジェクトのフォルダーを選択</translation>
        </message>
        <message>
            <source>Cannot Create Project</source>
            <translation>プロジェクトを作成できません</translation>
        </message>
        <message>
            <source>Create Sorvanta Project</source>
            <translation>Sorvanta プロジェクトの作成</translation>
        </message>
        <message>
            <source>The selected folder becomes the Project root (must be empty). The Project name below is the display name.</source>
            <translation>選択したフォルダーがプロジェクトのルートになります（空である必要があります）。下のプロジェクト名は表示名です。</translation>
        </message>
        <message>
            <source>Project name</source>
            <translation>プロジェクト名</translation>
        </message>
        <message>
            <source>Project Found in Subfolder</source>
            <translation>サブフォルダーにプロジェクトがあります</translation>
        </message>
        <message>
            <source>The selected folder does not contain a project, but the following project was found inside it. Open it?</source>
            <translation>選択したフォルダーにはプロジェクトがありませんが、その中に次のプロジェクトが見つかりました。開きますか？</translation>
        </message>
        <message>
            <source>No Project in Folder</source>
            <translation>フォルダーにプロジェクトがありません</translation>
        </message>
        <message>
            <source>There is no project in the selected folder:
%1

Create a new project here?</source>
            <translation>選択したフォルダーにはプロジェクトがありません:
%1

ここに新しいプロジェクトを作成しますか？</translation>
        </message>
        <message>
            <source>Delete Project</source>
            <translation>プロジェクトの削除</translation>
        </message>
        <message>
            <source>Permanently delete project "%1"?

All Measurements, raw recordings, video tracks and AnalysisRuns under
%2
are removed from disk. This cannot be undone.</source>
            <translation>プロジェクト「%1」を完全に削除しますか？

次の場所にあるすべての測定、生の記録、映像トラック、解析結果
%2
がディスクから削除されます。この操作は元に戻せません。</translation>
        </message>
        <message>
            <source>Rename Measurement</source>
            <translation>測定の名前の変更</translation>
        </message>
        <message>
            <source>Display alias (empty clears it). The measurement id and raw payload never change.</source>
            <translation>表示用の別名（空にすると消去）。測定 ID と生データは変わりません。</translation>
        </message>
        <message>
            <source>Measurement Note</source>
            <translation>測定メモ</translation>
        </message>
        <message>
            <source>Time</source>
            <translation>時刻</translation>
        </message>
        <message>
            <source>Location</source>
            <translation>場所</translation>
        </message>
        <message>
            <source>Building / room / site</source>
            <translation>建物 / 部屋 / 現場</translation>
        </message>
        <message>
            <source>Scene</source>
            <translation>シーン</translation>
        </message>
        <message>
            <source>Remarks</source>
            <translation>備考</translation>
        </message>
        <message>
            <source>Test conditions, source position, observations...</source>
            <translation>試験条件、音源位置、観察事項など…</translation>
        </message>
        <message>
            <source>Delete Measurement</source>
            <translation>測定の削除</translation>
        </message>
        <message>
            <source>Permanently delete %1?

Raw recording, video track and all AnalysisRuns are removed from disk. This cannot be undone.</source>
            <translation>%1 を完全に削除しますか？

生の記録、映像トラック、すべての解析結果がディスクから削除されます。この操作は元に戻せません。</translation>
        </message>
        <message numerus="yes">
            <source>%n measurement</source>
            <translation>
                <numerusform>測定 %n 件</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>%n measurements</source>
            <translation>
                <numerusform>測定 %n 件</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>%1 ch · %2 Hz · %n analysis</source>
            <translation>
                <numerusform>%1 ch · %2 Hz · 解析 %n 件</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>%1 ch · %2 Hz · %n analyses</source>
            <translation>
                <numerusform>%1 ch · %2 Hz · 解析 %n 件</numerusform>
            </translation>
        </message>
    </context>
    <context>
        <name>Theme</name>
        <message>
            <source>Abyss Black</source>
            <translation>アビスブラック</translation>
        </message>
        <message>
            <source>Deep Blue</source>
            <translation>ディープブルー</translation>
        </message>
        <message>
            <source>Graphite Gray</source>
            <translation>グラファイトグレー</translation>
        </message>
        <message>
            <source>Slate Copper</source>
            <translation>スレートカッパー</translation>
        </message>
        <message>
            <source>Mist Cyan</source>
            <translation>ミストシアン</translation>
        </message>
        <message>
            <source>Midnight Teal</source>
            <translation>ミッドナイトティール</translation>
        </message>
        <message>
            <source>Carbon Amber</source>
            <translation>カーボンアンバー</translation>
        </message>
        <message>
            <source>Medical</source>
            <translation>メディカル</translation>
        </message>
        <message>
            <source>Light</source>
            <translation>ライト</translation>
        </message>
    </context>
    <context>
        <name>ThemedDialog</name>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
        <message>
            <source>Yes</source>
            <translation>はい</translation>
        </message>
        <message>
            <source>No</source>
            <translation>いいえ</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>閉じる</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>キャンセル</translation>
        </message>
    </context>
    <context>
        <name>UiController</name>
        <message>
            <source>No data from the array for %1 s</source>
            <translation>アレイから %1 秒間データがありません</translation>
        </message>
        <message>
            <source>Recording stopped: no data from the array for %1 s</source>
            <translation>記録を停止しました：アレイから %1 秒間データがありません</translation>
        </message>
        <message>
            <source>Only rejected datagrams from the array for %1 s: their length does not match the Device Profile (%2 bytes expected)</source>
            <translation>アレイから %1 秒間、拒否されたデータグラムのみ受信：長さがデバイスプロファイルと一致しません（期待値 %2 バイト）</translation>
        </message>
        <message>
            <source>Recording stopped: only rejected datagrams from the array for %1 s</source>
            <translation>記録を停止しました：アレイから %1 秒間、拒否されたデータグラムのみ受信</translation>
        </message>
        <message>
            <source>Data from the array again after %1 s</source>
            <translation>%1 秒後にアレイからのデータが戻りました</translation>
        </message>
        <message>
            <source>Datagrams from another sender ignored: %1 bytes from %2; the array&apos;s stream goes on</source>
            <translation>他の送信元からのデータグラムを無視しました：%2 から %1 バイト。アレイのストリームは継続します</translation>
        </message>
        <message>
            <source>First data from the array after %1 s</source>
            <translation>%1 秒後にアレイから最初のデータを受信しました</translation>
        </message>
        <message>
            <source>Datagrams rejected: their length does not match the Device Profile (%1 bytes expected, %2 rejected so far)</source>
            <translation>データグラムを拒否しました：長さがデバイスプロファイルと一致しません（期待値 %1 バイト、これまでに %2 個拒否）</translation>
        </message>
        <message>
            <source>Measurement %1 names no raw file</source>
            <translation>測定 %1 に RAW ファイルが指定されていません</translation>
        </message>
        <message>
            <source>Raw file %1 of Measurement %2 is missing</source>
            <translation>測定 %2 の RAW ファイル %1 がありません</translation>
        </message>
        <message>
            <source>Raw file %1 of Measurement %2 is not a regular file</source>
            <translation>測定 %2 の RAW ファイル %1 は通常のファイルではありません</translation>
        </message>
        <message>
            <source>Live stopped</source>
            <translation>ライブ停止中</translation>
        </message>
        <message>
            <source>Not calibrated</source>
            <translation>未校正</translation>
        </message>
        <message>
            <source>Waiting for raw samples</source>
            <translation>生サンプルを待機しています</translation>
        </message>
        <message>
            <source>Load a validated Device Profile to begin</source>
            <translation>開始するには検証済みのデバイスプロファイルを読み込んでください</translation>
        </message>
        <message>
            <source>Device Profile validated; system ready to start</source>
            <translation>デバイスプロファイルを検証しました。システムは開始できます</translation>
        </message>
        <message>
            <source>Profile validation failed: %1</source>
            <translation>プロファイルの検証に失敗しました: %1</translation>
        </message>
        <message>
            <source>Select a directory for the new Project</source>
            <translation>新しいプロジェクトのディレクトリを選択してください</translation>
        </message>
        <message>
            <source>The selected directory already contains a Project</source>
            <translation>選択したディレクトリには既にプロジェクトがあります</translation>
        </message>
        <message>
            <source>The selected path is not a directory</source>
            <translation>選択したパスはディレクトリではありません</translation>
        </message>
        <message>
            <source>The selected directory is not empty - choose an empty directory for a new Project</source>
            <translation>選択したディレクトリは空ではありません - 新しいプロジェクトには空のディレクトリを選択してください</translation>
        </message>
        <message>
            <source>Project no longer exists at %1 - removed from Recent</source>
            <translation>プロジェクトは %1 に存在しなくなりました - 最近使ったプロジェクトから削除しました</translation>
        </message>
        <message numerus="yes">
            <source>project.json could not be read (%1): the Measurement list was rebuilt from %n Measurement folder but could not be saved (%2), project.json was left as it was</source>
            <translation>
                <numerusform>project.json を読み取れません (%1): %n 個の測定フォルダーから測定リストを再構築しましたが保存できませんでした (%2)。project.json はそのままです</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>project.json could not be read (%1): the Measurement list was rebuilt from %n Measurement folders but could not be saved (%2), project.json was left as it was</source>
            <translation>
                <numerusform>project.json を読み取れません (%1): %n 個の測定フォルダーから測定リストを再構築しましたが保存できませんでした (%2)。project.json はそのままです</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>project.json was missing beside its damaged copy: the Measurement list was rebuilt from %n Measurement folder</source>
            <translation>
                <numerusform>project.json がなく、破損したコピーだけが残っていました: %n 個の測定フォルダーから測定リストを再構築しました</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>project.json was missing beside its damaged copy: the Measurement list was rebuilt from %n Measurement folders</source>
            <translation>
                <numerusform>project.json がなく、破損したコピーだけが残っていました: %n 個の測定フォルダーから測定リストを再構築しました</numerusform>
            </translation>
        </message>
        <message>
            <source>The folder of this Project takes no file locks (%1): it cannot guard the Project against a second program using it at the same time</source>
            <translation>このプロジェクトのフォルダーはファイルロックに対応していません (%1): 別のプログラムが同時にこのプロジェクトを使うことを防げません</translation>
        </message>
        <message>
            <source>project.json lists %1, which is not a Measurement folder of this Project: %2</source>
            <translation>project.json に %1 が記載されていますが、このプロジェクトの測定フォルダーではありません：%2</translation>
        </message>
        <message>
            <source>Project %1 was not deleted: another program is using %2</source>
            <translation>プロジェクト %1 は削除されませんでした：別のプログラムが %2 を使用中です</translation>
        </message>
        <message>
            <source>Project %1 was not deleted: another program changed %2 in the meantime</source>
            <translation>プロジェクト %1 は削除されませんでした：その間に別のプログラムが %2 を変更しました</translation>
        </message>
        <message>
            <source>another program has held the lock of this Project for more than %1 s</source>
            <translation>別のプログラムがこのプロジェクトのロックを %1 秒以上保持しています</translation>
        </message>
        <message>
            <source>Open Project failed: %1</source>
            <translation>プロジェクトを開けませんでした: %1</translation>
        </message>
        <message>
            <source>Diagnostics export failed: cannot create folder</source>
            <translation>診断のエクスポートに失敗しました：フォルダーを作成できません</translation>
        </message>
        <message>
            <source>Diagnostics export failed: %1</source>
            <translation>診断のエクスポートに失敗しました：%1</translation>
        </message>
        <message>
            <source>Diagnostics bundle exported: %1</source>
            <translation>診断バンドルをエクスポートしました：%1</translation>
        </message>
        <message>
            <source>Backup failed: cannot create folder</source>
            <translation>バックアップに失敗しました：フォルダーを作成できません</translation>
        </message>
        <message>
            <source>Backup failed: %1</source>
            <translation>バックアップに失敗しました：%1</translation>
        </message>
        <message>
            <source>Settings backup written: %1</source>
            <translation>設定のバックアップを書き込みました：%1</translation>
        </message>
        <message>
            <source>Open diagnostics folder failed: %1</source>
            <translation>診断フォルダーを開けませんでした：%1</translation>
        </message>
        <message>
            <source>Unsaved analysis result discarded</source>
            <translation>未保存の解析結果を破棄しました</translation>
        </message>
        <message>
            <source>Calibrated %1</source>
            <translation>校正済み %1</translation>
        </message>
        <message>
            <source>Calibrated for another device profile - recalibrate</source>
            <translation>別のデバイスプロファイル用に校正されています - 再校正してください</translation>
        </message>
        <message>
            <source>Delete failed: files are locked under %1 - the Project was kept open</source>
            <translation>削除に失敗しました: %1 の下のファイルがロックされています - プロジェクトは開いたままです</translation>
        </message>
        <message>
            <source>Open or create a Project first</source>
            <translation>先にプロジェクトを開くか作成してください</translation>
        </message>
        <message>
            <source>Auto white balance turned off so the manual colour setting stays applied</source>
            <translation>手動の色設定が維持されるよう自動ホワイトバランスをオフにしました</translation>
        </message>
        <message>
            <source>Save AnalysisRun failed: %1</source>
            <translation>解析ランの保存に失敗しました：%1</translation>
        </message>
        <message>
            <source>AnalysisRun saved: %1</source>
            <translation>解析ランを保存しました：%1</translation>
        </message>
        <message>
            <source>Analysis window is shorter than one analysis frame</source>
            <translation>解析ウィンドウが解析フレーム 1 つより短いです</translation>
        </message>
        <message>
            <source>Analysis computed - not saved yet: %1</source>
            <translation>解析完了 - 未保存：%1</translation>
        </message>
        <message>
            <source>Noise floor not subtracted: it was calibrated with %1-point frames, this analysis uses %2-point frames</source>
            <translation>背景ノイズは差し引かれていません：%1 点フレームで校正されましたが、この解析は %2 点フレームを使います</translation>
        </message>
        <message>
            <source>Process memory</source>
            <translation>プロセスメモリ</translation>
        </message>
        <message>
            <source>UDP datagrams</source>
            <translation>UDP データグラム</translation>
        </message>
        <message>
            <source>UDP received</source>
            <translation>UDP 受信量</translation>
        </message>
        <message>
            <source>Datagrams rejected / rx errors</source>
            <translation>拒否データグラム / 受信エラー</translation>
        </message>
        <message>
            <source>Datagrams dropped on overflow</source>
            <translation>オーバーフローで破棄したデータグラム</translation>
        </message>
        <message>
            <source>Ingress pending frames</source>
            <translation>受信待ちフレーム</translation>
        </message>
        <message>
            <source>DSP queue occupancy / drop</source>
            <translation>DSP キュー使用 / 破棄</translation>
        </message>
        <message>
            <source>Diagnostic queue drop</source>
            <translation>診断キュー破棄</translation>
        </message>
        <message>
            <source>Processed frames</source>
            <translation>処理済みフレーム</translation>
        </message>
        <message>
            <source>Maps published</source>
            <translation>公開済みマップ</translation>
        </message>
        <message>
            <source>BF avg/p50/p95/p99/max</source>
            <translation>BF 平均/p50/p95/p99/最大</translation>
        </message>
        <message>
            <source>Map overwrite / DSP errors</source>
            <translation>マップ上書き / DSP エラー</translation>
        </message>
        <message>
            <source>Recording rate</source>
            <translation>記録レート</translation>
        </message>
        <message>
            <source>Replay</source>
            <translation>リプレイ</translation>
        </message>
        <message>
            <source>Array profile</source>
            <translation>アレイプロファイル</translation>
        </message>
        <message>
            <source>Measurements / Analysis runs</source>
            <translation>測定 / 解析実行</translation>
        </message>
        <message>
            <source>Exported map.csv + export.json to %1</source>
            <translation>map.csv + export.json を %1 にエクスポートしました</translation>
        </message>
        <message>
            <source>Export failed: %1</source>
            <translation>エクスポートに失敗しました: %1</translation>
        </message>
        <message>
            <source>Base loading</source>
            <translation>基本ローディング</translation>
        </message>
        <message>
            <source>Diagonal loading</source>
            <translation>対角ローディング</translation>
        </message>
        <message>
            <source>Diagonal removal</source>
            <translation>対角除去</translation>
        </message>
        <message>
            <source>Eigen floor</source>
            <translation>固有値下限</translation>
        </message>
        <message>
            <source>Eigen tolerance</source>
            <translation>固有値許容誤差</translation>
        </message>
        <message>
            <source>Eigenvalue floor</source>
            <translation>固有値下限</translation>
        </message>
        <message>
            <source>Estimator (1 MDL, 2 AIC, 3 gap)</source>
            <translation>推定法（1 MDL、2 AIC、3 ギャップ）</translation>
        </message>
        <message>
            <source>Functional order</source>
            <translation>汎関数次数</translation>
        </message>
        <message>
            <source>Grid stride</source>
            <translation>グリッド間引き</translation>
        </message>
        <message>
            <source>Iterations</source>
            <translation>反復回数</translation>
        </message>
        <message>
            <source>Lambda (rel)</source>
            <translation>ラムダ（相対）</translation>
        </message>
        <message>
            <source>Loop gain</source>
            <translation>ループゲイン</translation>
        </message>
        <message>
            <source>Max iterations</source>
            <translation>最大反復回数</translation>
        </message>
        <message>
            <source>Max modes</source>
            <translation>最大モード数</translation>
        </message>
        <message>
            <source>Max sources</source>
            <translation>最大音源数</translation>
        </message>
        <message>
            <source>Noise (rel)</source>
            <translation>ノイズ（相対）</translation>
        </message>
        <message>
            <source>PHAT exponent</source>
            <translation>PHAT 指数</translation>
        </message>
        <message>
            <source>PHAT floor</source>
            <translation>PHAT 下限</translation>
        </message>
        <message>
            <source>PHAT zero diagonal</source>
            <translation>PHAT 対角ゼロ化</translation>
        </message>
        <message>
            <source>Prune (rel)</source>
            <translation>枝刈り（相対）</translation>
        </message>
        <message>
            <source>Relative eigen</source>
            <translation>相対固有値</translation>
        </message>
        <message>
            <source>Relaxation</source>
            <translation>緩和係数</translation>
        </message>
        <message>
            <source>Source count</source>
            <translation>音源数</translation>
        </message>
        <message>
            <source>Spectrum floor</source>
            <translation>スペクトル下限</translation>
        </message>
        <message>
            <source>Stop level</source>
            <translation>停止レベル</translation>
        </message>
        <message>
            <source>Tolerance</source>
            <translation>許容誤差</translation>
        </message>
        <message>
            <source>Uncertainty</source>
            <translation>不確かさ</translation>
        </message>
        <message>
            <source>Uncertainty gain</source>
            <translation>不確かさゲイン</translation>
        </message>
        <message>
            <source>Diagnostics error: %1</source>
            <translation>診断エラー：%1</translation>
        </message>
        <message>
            <source>UDP receive stopped: %1</source>
            <translation>UDP 受信が停止しました：%1</translation>
        </message>
        <message>
            <source>Acquisition error: %1</source>
            <translation>取得エラー：%1</translation>
        </message>
        <message>
            <source>unknown error</source>
            <translation>不明なエラー</translation>
        </message>
        <message>
            <source>Live sample gap detected; continuity window restarted</source>
            <translation>ライブのサンプル欠落を検出しました。連続区間を再開しました</translation>
        </message>
        <message>
            <source>DSP error: %1</source>
            <translation>DSP エラー：%1</translation>
        </message>
        <message>
            <source>Map render error: %1</source>
            <translation>マップ描画エラー：%1</translation>
        </message>
        <message>
            <source>Replay stopped</source>
            <translation>リプレイ停止</translation>
        </message>
        <message>
            <source>Replay map error: %1</source>
            <translation>リプレイのマップエラー：%1</translation>
        </message>
        <message>
            <source>Cannot read %1: %2</source>
            <translation>%1 を読み取れません：%2</translation>
        </message>
        <message>
            <source>%1 failed: %2</source>
            <translation>%1に失敗しました：%2</translation>
        </message>
        <message>
            <source>invalid file name "%1"</source>
            <translation>無効なファイル名「%1」</translation>
        </message>
        <message>
            <source>only %1 of %2 bytes written</source>
            <translation>%2 バイト中 %1 バイトしか書き込めませんでした</translation>
        </message>
        <message>
            <source>Select a Measurement to create an AnalysisRun</source>
            <translation>解析ランを作成するには測定を選択してください</translation>
        </message>
        <message>
            <source>Stop the active session before resetting settings</source>
            <translation>設定をリセットする前に実行中のセッションを停止してください</translation>
        </message>
        <message>
            <source>Display and acquisition defaults restored</source>
            <translation>表示と取得の設定を既定値に戻しました</translation>
        </message>
        <message>
            <source>Reset defaults failed: %1</source>
            <translation>既定値へのリセットに失敗しました：%1</translation>
        </message>
        <message>
            <source>Unsupported analysis algorithm: %1</source>
            <translation>サポートされていない解析アルゴリズム：%1</translation>
        </message>
        <message>
            <source>Parameter %1 is not part of the selected algorithm</source>
            <translation>パラメーター %1 は選択したアルゴリズムにありません</translation>
        </message>
        <message>
            <source>Invalid value for %1</source>
            <translation>%1 の値が無効です</translation>
        </message>
        <message>
            <source>Parameter update failed: %1</source>
            <translation>パラメーターの更新に失敗しました：%1</translation>
        </message>
        <message>
            <source>%1-%2 Hz · %3 bins</source>
            <translation>%1-%2 Hz · %3 ビン</translation>
        </message>
        <message>
            <source>focus %1 m</source>
            <translation>焦点 %1 m</translation>
        </message>
        <message>
            <source>far field</source>
            <translation>遠距離場</translation>
        </message>
        <message>
            <source>%1 v%2 · %3 · frame %4 / hop %5 · grid %6° · %7 · peak %8 dB</source>
            <translation>%1 v%2 · %3 · フレーム %4 / ホップ %5 · グリッド %6° · %7 · ピーク %8 dB</translation>
        </message>
        <message>
            <source>full</source>
            <comment>recompute</comment>
            <translation>完全</translation>
        </message>
        <message>
            <source>fast</source>
            <comment>recompute</comment>
            <translation>高速</translation>
        </message>
        <message>
            <source>%1 recompute · %2 input / %3 processed frames · raw %4 · Profile %5 %6 · build %7</source>
            <translation>%1再計算 · 入力 %2 / 処理済み %3 フレーム · 生データ %4 · プロファイル %5 %6 · ビルド %7</translation>
        </message>
        <message>
            <source>No AnalysisRun yet · Full Recompute creates an immutable run</source>
            <translation>解析ランはまだありません · 完全再計算で変更不可のランを作成します</translation>
        </message>
        <message numerus="yes">
            <source>%n independent AnalysisRun</source>
            <translation>
                <numerusform>独立した解析ラン %n 件</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>%n independent AnalysisRuns</source>
            <translation>
                <numerusform>独立した解析ラン %n 件</numerusform>
            </translation>
        </message>
        <message>
            <source>AnalysisRun selected: %1</source>
            <translation>解析ランを選択しました：%1</translation>
        </message>
        <message>
            <source>Open AnalysisRun result failed: %1</source>
            <translation>解析ランの結果を開けませんでした：%1</translation>
        </message>
        <message>
            <source>Wait for Full Recompute before opening an AnalysisRun</source>
            <translation>解析ランを開く前に完全再計算の終了を待ってください</translation>
        </message>
        <message>
            <source>Stop the active Replay before opening an AnalysisRun</source>
            <translation>解析ランを開く前に実行中のリプレイを停止してください</translation>
        </message>
        <message>
            <source>Measurement not found: %1</source>
            <translation>測定が見つかりません：%1</translation>
        </message>
        <message>
            <source>AnalysisRun not found: %1</source>
            <translation>解析ランが見つかりません：%1</translation>
        </message>
        <message>
            <source>Open AnalysisRun failed: %1</source>
            <translation>解析ランを開けませんでした：%1</translation>
        </message>
        <message>
            <source>AnalysisRun list refresh failed: %1</source>
            <translation>解析ラン一覧の更新に失敗しました：%1</translation>
        </message>
        <message>
            <source>Warning: AnalysisRun %1 is saved, but the disk did not confirm its folder; a power cut could still lose it</source>
            <translation>警告：解析ラン %1 は保存されましたが、ディスクがフォルダーを確定していません。停電で失われる可能性があります</translation>
        </message>
        <message>
            <source>Select an AnalysisRun before exporting</source>
            <translation>エクスポートする前に解析ランを選択してください</translation>
        </message>
        <message>
            <source>Warning: the export is in place, but the disk did not confirm its folder; a power cut could still lose it</source>
            <translation>警告：エクスポートは完了しましたが、ディスクがフォルダーを確定していません。停電で失われる可能性があります</translation>
        </message>
        <message>
            <source>Single bin</source>
            <translation>単一ビン</translation>
        </message>
        <message>
            <source>Custom bandwidth</source>
            <translation>カスタム帯域幅</translation>
        </message>
        <message>
            <source>1/3 octave</source>
            <translation>1/3 オクターブ</translation>
        </message>
        <message>
            <source>Beamforming parameter update failed: %1</source>
            <translation>ビームフォーミングのパラメーター更新に失敗しました：%1</translation>
        </message>
        <message>
            <source>Frequency band pending at DSP boundary: %1</source>
            <translation>周波数帯域は DSP の区切りで適用されます：%1</translation>
        </message>
        <message>
            <source>Frequency-band update failed: %1</source>
            <translation>周波数帯域の更新に失敗しました：%1</translation>
        </message>
        <message>
            <source>Algorithm selection</source>
            <translation>アルゴリズムの選択</translation>
        </message>
        <message>
            <source>%1 is contract-only and not executable yet; %2 remains active</source>
            <translation>%1 は仕様のみでまだ実行できません。%2 のままです</translation>
        </message>
        <message>
            <source>Algorithm selected: %1</source>
            <translation>アルゴリズムを選択しました：%1</translation>
        </message>
        <message>
            <source>Parameter update</source>
            <translation>パラメーターの更新</translation>
        </message>
        <message>
            <source>Parameter %1 updated</source>
            <translation>パラメーター %1 を更新しました</translation>
        </message>
        <message>
            <source>Focus distance update</source>
            <translation>焦点距離の更新</translation>
        </message>
        <message>
            <source>Focus distance: %1</source>
            <translation>焦点距離：%1</translation>
        </message>
        <message>
            <source>Air temperature update</source>
            <translation>気温の更新</translation>
        </message>
        <message>
            <source>Diagonal removal update</source>
            <translation>対角除去の更新</translation>
        </message>
        <message>
            <source>Diagonal removal ON</source>
            <translation>対角除去：オン</translation>
        </message>
        <message>
            <source>Diagonal removal OFF</source>
            <translation>対角除去：オフ</translation>
        </message>
        <message>
            <source>Confidence threshold update</source>
            <translation>信頼しきい値の更新</translation>
        </message>
        <message>
            <source>Averaging update</source>
            <translation>平均化の更新</translation>
        </message>
        <message>
            <source>Averaging update failed: %1</source>
            <translation>平均化の更新に失敗しました：%1</translation>
        </message>
        <message>
            <source>Replay averaging update failed: %1</source>
            <translation>リプレイの平均化の更新に失敗しました：%1</translation>
        </message>
        <message>
            <source>Frequency update</source>
            <translation>周波数の更新</translation>
        </message>
        <message>
            <source>Frequency band update</source>
            <translation>周波数帯域の更新</translation>
        </message>
        <message>
            <source>Azimuth update</source>
            <translation>方位角の更新</translation>
        </message>
        <message>
            <source>Elevation update</source>
            <translation>仰角の更新</translation>
        </message>
        <message>
            <source>cannot write %1</source>
            <translation>%1 を書き込めません</translation>
        </message>
        <message numerus="yes">
            <source>%n UVC camera device available</source>
            <translation>
                <numerusform>UVC カメラが %n 台使用できます</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>%n UVC camera devices available</source>
            <translation>
                <numerusform>UVC カメラが %n 台使用できます</numerusform>
            </translation>
        </message>
        <message>
            <source>No UVC camera detected; press Refresh after connecting one</source>
            <translation>UVC カメラが見つかりません。接続してから「更新」を押してください</translation>
        </message>
        <message>
            <source>Camera listing failed: %1</source>
            <translation>カメラの一覧取得に失敗しました：%1</translation>
        </message>
        <message>
            <source>UVC parameters unavailable: %1</source>
            <translation>UVC パラメーターを使用できません：%1</translation>
        </message>
        <message>
            <source>UVC %1 set failed: %2</source>
            <translation>UVC %1 の設定に失敗しました：%2</translation>
        </message>
        <message>
            <source>UVC %1 auto-mode failed: %2</source>
            <translation>UVC %1 の自動モード設定に失敗しました：%2</translation>
        </message>
        <message>
            <source>UVC reset failed: %1</source>
            <translation>UVC のリセットに失敗しました：%1</translation>
        </message>
        <message>
            <source>Channel %1 selected · collecting 4096 samples</source>
            <translation>チャンネル %1 を選択 · 4096 サンプルを収集中</translation>
        </message>
        <message>
            <source>none</source>
            <translation>なし</translation>
        </message>
        <message>
            <source>Window %1–%2 s · width %3 s</source>
            <translation>ウィンドウ %1–%2 秒 · 幅 %3 秒</translation>
        </message>
        <message>
            <source>Analysis spectrum failed: %1</source>
            <translation>解析スペクトルの計算に失敗しました：%1</translation>
        </message>
        <message>
            <source>%1 · %2 Hz · frame %3/%4 · grid %5° · peak %6° / %7° · %8</source>
            <translation>%1 · %2 Hz · フレーム %3/%4 · グリッド %5° · ピーク %6° / %7° · %8再計算</translation>
        </message>
        <message>
            <source>Analysis %1 · validating frozen inputs</source>
            <translation>解析 %1 · 固定された入力を検証中</translation>
        </message>
        <message>
            <source>Full Recompute failed: %1</source>
            <translation>完全再計算に失敗しました：%1</translation>
        </message>
        <message>
            <source>Fast Re-analysis · derived cache hit</source>
            <translation>高速再解析 · 派生キャッシュを使用</translation>
        </message>
        <message>
            <source>Derived cache entry unreadable, recomputing it: %1</source>
            <translation>派生キャッシュを読み取れないため再計算します：%1</translation>
        </message>
        <message>
            <source>Derived cache write failed (analysis result is unaffected): %1</source>
            <translation>派生キャッシュの書き込みに失敗しました（解析結果には影響しません）：%1</translation>
        </message>
        <message>
            <source>Full Recompute requires a selected Measurement while Live and Replay are stopped</source>
            <translation>完全再計算には、ライブとリプレイが停止した状態で測定を選択する必要があります</translation>
        </message>
        <message>
            <source>Start requires a validated Device Profile and Ready state</source>
            <translation>開始には検証済みのデバイスプロファイルと準備完了状態が必要です</translation>
        </message>
        <message>
            <source>Starting acquisition transaction...</source>
            <translation>取得トランザクションを開始しています…</translation>
        </message>
        <message>
            <source>Live acquisition running from %1</source>
            <translation>ライブ取得中（ソース：%1）</translation>
        </message>
        <message>
            <source>Start transaction failed: %1</source>
            <translation>開始トランザクションに失敗しました：%1</translation>
        </message>
        <message>
            <source>Stopping acquisition...</source>
            <translation>取得を停止しています…</translation>
        </message>
        <message>
            <source>Acquisition stopped; Device Profile remains ready</source>
            <translation>取得を停止しました。デバイスプロファイルは準備完了のままです</translation>
        </message>
        <message>
            <source>Stop the active session before running a one-shot analysis</source>
            <translation>単発解析を実行する前に実行中のセッションを停止してください</translation>
        </message>
        <message>
            <source>Import a Device Profile first</source>
            <translation>先にデバイスプロファイルをインポートしてください</translation>
        </message>
        <message>
            <source>Run complete</source>
            <translation>実行完了</translation>
        </message>
        <message>
            <source>Run failed: %1</source>
            <translation>実行に失敗しました：%1</translation>
        </message>
        <message>
            <source>Acquisition degraded: DSP queue / socket overflow (dropped frames are growing) - reduce imaging bins or close auxiliary views</source>
            <translation>取得が劣化しています：DSP キュー / ソケットのオーバーフロー（破棄フレームが増加中）- イメージングのビン数を減らすか補助ビューを閉じてください</translation>
        </message>
        <message>
            <source>Language refresh failed: %1</source>
            <translation>言語の更新に失敗しました：%1</translation>
        </message>
        <message>
            <source>%1 logical / %2 wire · %3 Hz · %4 s (%5 frames) · source %6 · %7</source>
            <translation>論理 %1 ch / 伝送 %2 ch · %3 Hz · %4 秒（%5 フレーム）· ソース %6 · %7</translation>
        </message>
        <message>
            <source>unknown</source>
            <translation>不明</translation>
        </message>
        <message>
            <source>%1 · schema %2 · %3</source>
            <translation>%1 · スキーマ %2 · %3</translation>
        </message>
        <message>
            <source>Measurement directory is missing</source>
            <translation>測定ディレクトリがありません</translation>
        </message>
        <message>
            <source>Wait for Full Recompute before selecting another Measurement</source>
            <translation>別の測定を選択する前に完全再計算の終了を待ってください</translation>
        </message>
        <message>
            <source>Stop the active Replay before selecting another Measurement</source>
            <translation>別の測定を選択する前に実行中のリプレイを停止してください</translation>
        </message>
        <message>
            <source>Open frozen Device Profile failed: %1: %2</source>
            <translation>固定デバイスプロファイルを開けませんでした：%1：%2</translation>
        </message>
        <message>
            <source>Measurement selected: %1 · frozen Profile %2</source>
            <translation>測定を選択しました：%1 · 固定プロファイル %2</translation>
        </message>
        <message>
            <source>Select Measurement failed: %1</source>
            <translation>測定の選択に失敗しました：%1</translation>
        </message>
        <message>
            <source>Select a Measurement first</source>
            <translation>先に測定を選択してください</translation>
        </message>
        <message>
            <source>Stop Recording/Replay/Analysis before editing annotations</source>
            <translation>注記を編集する前に記録/リプレイ/解析を停止してください</translation>
        </message>
        <message>
            <source>Rename failed: %1</source>
            <translation>名前の変更に失敗しました：%1</translation>
        </message>
        <message>
            <source>Alias cleared: %1</source>
            <translation>別名を消去しました：%1</translation>
        </message>
        <message>
            <source>Renamed %1 -&gt; %2</source>
            <translation>名前を変更しました %1 -&gt; %2</translation>
        </message>
        <message>
            <source>Save note failed: %1</source>
            <translation>メモの保存に失敗しました：%1</translation>
        </message>
        <message>
            <source>Note saved: %1</source>
            <translation>メモを保存しました：%1</translation>
        </message>
        <message>
            <source>Finish the active Recording before deleting</source>
            <translation>削除する前に実行中の記録を終了してください</translation>
        </message>
        <message>
            <source>Wait for Full Recompute before deleting</source>
            <translation>削除する前に完全再計算の終了を待ってください</translation>
        </message>
        <message>
            <source>Project unregister failed: %1</source>
            <translation>プロジェクトからの登録解除に失敗しました：%1</translation>
        </message>
        <message>
            <source>Measurement deleted: %1</source>
            <translation>測定を削除しました：%1</translation>
        </message>
        <message>
            <source>Measurement unregistered; locked files remain under %1 — delete the folder manually</source>
            <translation>測定の登録を解除しました。%1 の下にロックされたファイルが残っています — フォルダーを手動で削除してください</translation>
        </message>
        <message>
            <source>Delete Measurement failed: %1</source>
            <translation>測定の削除に失敗しました：%1</translation>
        </message>
        <message>
            <source>Calibrate the noise floor for this device profile first</source>
            <translation>先にこのデバイスプロファイルのノイズフロアを校正してください</translation>
        </message>
        <message>
            <source>Noise switch persist failed: %1</source>
            <translation>ノイズ除去スイッチの保存に失敗しました：%1</translation>
        </message>
        <message>
            <source>Background noise subtraction ON</source>
            <translation>背景ノイズ除去：オン</translation>
        </message>
        <message>
            <source>Background noise subtraction OFF</source>
            <translation>背景ノイズ除去：オフ</translation>
        </message>
        <message>
            <source>Noise calibration is not allowed while Recording</source>
            <translation>記録中はノイズ校正を行えません</translation>
        </message>
        <message>
            <source>Noise calibration is Live-only; the calibrated floor switch still works in Replay</source>
            <translation>ノイズ校正はライブ専用です。校正済みフロアのスイッチはリプレイでも使えます</translation>
        </message>
        <message>
            <source>Start Live before noise calibration</source>
            <translation>ノイズ校正の前にライブを開始してください</translation>
        </message>
        <message>
            <source>Noise calibration started - keep the environment stable</source>
            <translation>ノイズ校正を開始しました - 環境を安定に保ってください</translation>
        </message>
        <message>
            <source>Noise calibration failed: %1</source>
            <translation>ノイズ校正に失敗しました：%1</translation>
        </message>
        <message>
            <source>Noise calibration cancelled</source>
            <translation>ノイズ校正をキャンセルしました</translation>
        </message>
        <message>
            <source>Noise calibration failed: not enough frames captured</source>
            <translation>ノイズ校正に失敗しました：取得したフレームが不足しています</translation>
        </message>
        <message>
            <source>Noise floor kept for this session only: %1</source>
            <translation>ノイズフロアはこのセッションのみ保持されます：%1</translation>
        </message>
        <message>
            <source>Noise floor calibrated for this session (no Project open)</source>
            <translation>このセッション用にノイズフロアを校正しました（プロジェクト未オープン）</translation>
        </message>
        <message>
            <source>Noise floor calibrated</source>
            <translation>ノイズフロアを校正しました</translation>
        </message>
        <message>
            <source>%1 | %2 logical / %3 wire | %4&#xa0;Hz</source>
            <translation>%1 | 論理 %2 ch / 伝送 %3 ch | %4&#xa0;Hz</translation>
        </message>
        <message>
            <source>Stop the active session before replacing the Device Profile</source>
            <translation>デバイスプロファイルを置き換える前に実行中のセッションを停止してください</translation>
        </message>
        <message>
            <source>Removed temporary file %1</source>
            <translation>一時ファイル %1 を削除しました</translation>
        </message>
        <message>
            <source>Removed incomplete leftover %1</source>
            <translation>未完了の残骸 %1 を削除しました</translation>
        </message>
        <message>
            <source>Recovered AnalysisRun %1</source>
            <translation>解析ラン %1 を復元しました</translation>
        </message>
        <message>
            <source>Recovered recording %1</source>
            <translation>記録 %1 を復元しました</translation>
        </message>
        <message>
            <source>Recovered Measurement %1</source>
            <translation>測定 %1 を復元しました</translation>
        </message>
        <message>
            <source>Unfinished recording without its description kept: %1 (%2 bytes)</source>
            <translation>説明のない未完了の記録を保持しました：%1（%2 バイト）</translation>
        </message>
        <message>
            <source>Removed unfinished camera video %1</source>
            <translation>未完了のカメラ映像 %1 を削除しました</translation>
        </message>
        <message>
            <source>Recovery left %1 alone: another program is using it</source>
            <translation>復元では %1 に触れませんでした：別のプログラムが使用中です</translation>
        </message>
        <message>
            <source>Recovery left %1 as it was: %2</source>
            <translation>復元では %1 をそのままにしました：%2</translation>
        </message>
        <message>
            <source>Project creation requires a directory and a name</source>
            <translation>プロジェクトの作成にはディレクトリと名前が必要です</translation>
        </message>
        <message>
            <source>Finish the active Recording before changing Project</source>
            <translation>プロジェクトを切り替える前に実行中の記録を終了してください</translation>
        </message>
        <message>
            <source>Wait for Full Recompute before changing Project</source>
            <translation>プロジェクトを切り替える前に完全再計算の終了を待ってください</translation>
        </message>
        <message>
            <source>Stop Replay before changing Project</source>
            <translation>プロジェクトを切り替える前にリプレイを停止してください</translation>
        </message>
        <message>
            <source>Project created: %1</source>
            <translation>プロジェクトを作成しました：%1</translation>
        </message>
        <message>
            <source>Create Project failed: %1</source>
            <translation>プロジェクトの作成に失敗しました：%1</translation>
        </message>
        <message numerus="yes">
            <source>project.json could not be read (%1): kept as %2, the Measurement list was rebuilt from %n Measurement folder</source>
            <translation>
                <numerusform>project.json を読み取れません（%1）：%2 として保管し、%n 個の測定フォルダーから測定リストを再構築しました</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>project.json could not be read (%1): kept as %2, the Measurement list was rebuilt from %n Measurement folders</source>
            <translation>
                <numerusform>project.json を読み取れません（%1）：%2 として保管し、%n 個の測定フォルダーから測定リストを再構築しました</numerusform>
            </translation>
        </message>
        <message>
            <source>Project opened: %1 · %n Measurement</source>
            <translation>プロジェクトを開きました：%1 · 測定 %n 件</translation>
        </message>
        <message>
            <source>Project opened: %1 · %n Measurements</source>
            <translation>プロジェクトを開きました：%1 · 測定 %n 件</translation>
        </message>
        <message>
            <source>Finish the active Recording before refreshing Project</source>
            <translation>プロジェクトを更新する前に実行中の記録を終了してください</translation>
        </message>
        <message>
            <source>Wait for Full Recompute before refreshing Project</source>
            <translation>プロジェクトを更新する前に完全再計算の終了を待ってください</translation>
        </message>
        <message>
            <source>Stop Replay before refreshing Project</source>
            <translation>プロジェクトを更新する前にリプレイを停止してください</translation>
        </message>
        <message numerus="yes">
            <source>Project refreshed · %n Measurement</source>
            <translation>
                <numerusform>プロジェクトを更新しました · 測定 %n 件</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>Project refreshed · %n Measurements</source>
            <translation>
                <numerusform>プロジェクトを更新しました · 測定 %n 件</numerusform>
            </translation>
        </message>
        <message>
            <source>Refresh Project failed: %1</source>
            <translation>プロジェクトの更新に失敗しました：%1</translation>
        </message>
        <message>
            <source>Open a Project first</source>
            <translation>先にプロジェクトを開いてください</translation>
        </message>
        <message>
            <source>Finish the active Recording before deleting the Project</source>
            <translation>プロジェクトを削除する前に実行中の記録を終了してください</translation>
        </message>
        <message>
            <source>Wait for Full Recompute before deleting the Project</source>
            <translation>プロジェクトを削除する前に完全再計算の終了を待ってください</translation>
        </message>
        <message>
            <source>Refusing to delete: not a Project root</source>
            <translation>削除を拒否しました：プロジェクトのルートではありません</translation>
        </message>
        <message>
            <source>Project deleted: %1</source>
            <translation>プロジェクトを削除しました：%1</translation>
        </message>
        <message>
            <source>Delete Project failed: %1</source>
            <translation>プロジェクトの削除に失敗しました：%1</translation>
        </message>
        <message>
            <source>Noise floor load failed: %1</source>
            <translation>ノイズフロアの読み込みに失敗しました：%1</translation>
        </message>
        <message>
            <source>Recording requires an active Live session</source>
            <translation>記録には実行中のライブセッションが必要です</translation>
        </message>
        <message>
            <source>Open or create a Project before Recording</source>
            <translation>記録の前にプロジェクトを開くか作成してください</translation>
        </message>
        <message>
            <source>Recording failed: %1</source>
            <translation>記録に失敗しました：%1</translation>
        </message>
        <message>
            <source>Recording %1 into Project %2</source>
            <translation>%1 をプロジェクト %2 に記録中</translation>
        </message>
        <message>
            <source>Start Recording failed: %1</source>
            <translation>記録の開始に失敗しました：%1</translation>
        </message>
        <message>
            <source>Recording stopped: datagrams were lost, the samples are no longer contiguous</source>
            <translation>記録を停止しました：データグラムが失われ、サンプルが連続していません</translation>
        </message>
        <message>
            <source>Recording stopped: the disk is too slow for the stream (%1 MB/s needed)</source>
            <translation>記録を停止しました：ディスクがストリームに追いつきません（%1 MB/s 必要）</translation>
        </message>
        <message>
            <source>append failed</source>
            <translation>追記に失敗しました</translation>
        </message>
        <message>
            <source>Finalizing Measurement %1...</source>
            <translation>測定 %1 を確定しています…</translation>
        </message>
        <message>
            <source>Recording reached the %1 s Measurement limit; finalizing</source>
            <translation>記録が測定の上限 %1 秒に達しました。確定しています</translation>
        </message>
        <message>
            <source>Video recorder did not stop in time; finalizing Measurement anyway</source>
            <translation>映像レコーダーが時間内に停止しませんでした。測定をそのまま確定します</translation>
        </message>
        <message>
            <source>Warning: Measurement %1 is saved, but the disk did not confirm its folder; a power cut could still lose it</source>
            <translation>警告：測定 %1 は保存されましたが、ディスクがフォルダーを確定していません。停電で失われる可能性があります</translation>
        </message>
        <message>
            <source>Measurement saved: %1 · %2</source>
            <translation>測定を保存しました：%1 · %2</translation>
        </message>
        <message>
            <source>Measurement saved, but Project refresh failed: %1</source>
            <translation>測定は保存されましたが、プロジェクトの更新に失敗しました：%1</translation>
        </message>
        <message>
            <source>Finalize Recording failed: %1</source>
            <translation>記録の確定に失敗しました：%1</translation>
        </message>
        <message>
            <source>Recorded samples kept in %1; opening the Project again recovers them</source>
            <translation>記録したサンプルは %1 に保持されています。プロジェクトを開き直すと復元されます</translation>
        </message>
        <message>
            <source>Replay frequency band pending: %1</source>
            <translation>リプレイの周波数帯域は適用待ちです：%1</translation>
        </message>
        <message>
            <source>Replay frequency-band update failed: %1</source>
            <translation>リプレイの周波数帯域の更新に失敗しました：%1</translation>
        </message>
        <message>
            <source>Replay beamforming update failed: %1</source>
            <translation>リプレイのビームフォーミング更新に失敗しました：%1</translation>
        </message>
        <message>
            <source>1.0x · frozen Profile · hash verified</source>
            <translation>1.0x · 固定プロファイル · ハッシュ検証済み</translation>
        </message>
        <message>
            <source>Replaying Measurement %1</source>
            <translation>測定 %1 をリプレイ中</translation>
        </message>
        <message>
            <source>Complete · %1 hops · integrity verified</source>
            <translation>完了 · %1 ホップ · 完全性検証済み</translation>
        </message>
        <message>
            <source>Replay complete: %1</source>
            <translation>リプレイ完了：%1</translation>
        </message>
        <message>
            <source>Replay failed: %1</source>
            <translation>リプレイに失敗しました：%1</translation>
        </message>
        <message>
            <source>Stop Live before starting Measurement Replay</source>
            <translation>測定リプレイを開始する前にライブを停止してください</translation>
        </message>
        <message>
            <source>Select a valid Measurement before Replay</source>
            <translation>リプレイの前に有効な測定を選択してください</translation>
        </message>
        <message>
            <source>Replay raw asset is missing</source>
            <translation>リプレイ用の生データがありません</translation>
        </message>
        <message>
            <source>Validating frozen Profile and raw integrity...</source>
            <translation>固定プロファイルと生データの完全性を検証しています…</translation>
        </message>
        <message>
            <source>Loading Replay %1 with frozen Profile %2</source>
            <translation>リプレイ %1 を固定プロファイル %2 で読み込んでいます</translation>
        </message>
        <message>
            <source>Replay paused at %1 s</source>
            <translation>リプレイを %1 秒で一時停止しました</translation>
        </message>
        <message>
            <source>Replay resumed: %1</source>
            <translation>リプレイを再開しました：%1</translation>
        </message>
        <message>
            <source>Replay stopped; Live Profile was not changed</source>
            <translation>リプレイを停止しました。ライブのプロファイルは変更されていません</translation>
        </message>
        <message>
            <source>Analyze at position requires an active Replay</source>
            <translation>「この位置で解析」には実行中のリプレイが必要です</translation>
        </message>
        <message>
            <source>Wait for the running Full Recompute to finish</source>
            <translation>実行中の完全再計算が終わるまでお待ちください</translation>
        </message>
        <message>
            <source>Analyze at position failed: %1</source>
            <translation>「この位置で解析」に失敗しました：%1</translation>
        </message>
        <message>
            <source>Theme update</source>
            <translation>テーマの更新</translation>
        </message>
        <message>
            <source>Language update</source>
            <translation>言語の更新</translation>
        </message>
        <message>
            <source>Source selection</source>
            <translation>ソースの選択</translation>
        </message>
        <message>
            <source>Unsupported source: %1</source>
            <translation>サポートされていないソース：%1</translation>
        </message>
        <message>
            <source>Plot palette update</source>
            <translation>プロット配色の更新</translation>
        </message>
        <message>
            <source>Dynamic range update</source>
            <translation>ダイナミックレンジの更新</translation>
        </message>
        <message>
            <source>Level gate update</source>
            <translation>レベルゲートの更新</translation>
        </message>
        <message>
            <source>Fixed reference update</source>
            <translation>固定基準の更新</translation>
        </message>
        <message>
            <source>Scale mode update</source>
            <translation>スケールモードの更新</translation>
        </message>
        <message>
            <source>Colormap update</source>
            <translation>カラーマップの更新</translation>
        </message>
        <message>
            <source>Style update</source>
            <translation>スタイルの更新</translation>
        </message>
        <message>
            <source>Opacity update</source>
            <translation>不透明度の更新</translation>
        </message>
        <message>
            <source>Camera mirror update</source>
            <translation>カメラのミラー表示の更新</translation>
        </message>
        <message>
            <source>Camera overlay update</source>
            <translation>カメラのオーバーレイの更新</translation>
        </message>
        <message numerus="yes">
            <source>UVC %1: %n parameter</source>
            <translation>
                <numerusform>UVC %1：パラメーター %n 個</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>UVC %1: %n parameters</source>
            <translation>
                <numerusform>UVC %1：パラメーター %n 個</numerusform>
            </translation>
        </message>
        <message>
            <source>%1 · %2 restored</source>
            <translation>%1 · %2 個を復元</translation>
        </message>
        <message>
            <source>UVC parameters reset to device defaults</source>
            <translation>UVC パラメーターをデバイスの既定値に戻しました</translation>
        </message>
        <message>
            <source>empty camera id</source>
            <translation>カメラ ID が空です</translation>
        </message>
        <message>
            <source>device exposes no UVC parameters</source>
            <translation>デバイスに UVC パラメーターがありません</translation>
        </message>
        <message>
            <source>no UVC device bound</source>
            <translation>UVC デバイスが接続されていません</translation>
        </message>
        <message>
            <source>unknown UVC parameter</source>
            <translation>不明な UVC パラメーター</translation>
        </message>
        <message>
            <source>UVC set failed (0x%1)</source>
            <translation>UVC の設定に失敗しました（0x%1）</translation>
        </message>
        <message>
            <source>UVC device not found via V4L2</source>
            <translation>V4L2 で UVC デバイスが見つかりません</translation>
        </message>
        <message>
            <source>cannot open %1: %2</source>
            <translation>%1 を開けません：%2</translation>
        </message>
        <message>
            <source>%1 is not a V4L2 capture device</source>
            <translation>%1 は V4L2 キャプチャデバイスではありません</translation>
        </message>
        <message>
            <source>%1  (%2 pkt/s)</source>
            <translation>%1（%2 パケット/秒）</translation>
        </message>
        <message>
            <source>%1/%2  ·  %3 fr</source>
            <translation>%1/%2  ·  %3 フレーム</translation>
        </message>
        <message>
            <source>%1 fr</source>
            <translation>%1 フレーム</translation>
        </message>
        <message>
            <source>CH %1 | DC %2 counts | RMS %3 dBFS | raw %4..%5 | peak %6 Hz / %7 dBFS | silent %8/%9 | win %10 (df %11 Hz)</source>
            <translation>ch %1 | DC %2 カウント | RMS %3 dBFS | 生 %4..%5 | ピーク %6 Hz / %7 dBFS | 無音 %8/%9 | 窓 %10 (df %11 Hz)</translation>
        </message>
        <message>
            <source>%1 dBFS</source>
            <translation>%1 dBFS</translation>
        </message>
        <message>
            <source>%1 dB re peak</source>
            <translation>%1 dB（ピーク基準）</translation>
        </message>
        <message>
            <source>%1 v%2 · %3 · frame %4 / hop %5 · grid %6° · %7 · peak %8</source>
            <translation>%1 v%2 · %3 · フレーム %4 / ホップ %5 · グリッド %6° · %7 · ピーク %8</translation>
        </message>
        <message>
            <source>on</source>
            <translation>オン</translation>
        </message>
        <message>
            <source>off</source>
            <translation>オフ</translation>
        </message>
        <message>
            <source>speed of sound %1 m/s</source>
            <translation>音速 %1 m/s</translation>
        </message>
        <message>
            <source>Wait until the Full Recompute ends</source>
            <translation>完全再計算が終わるまでお待ちください</translation>
        </message>
        <message>
            <source>Wait until the Recording is saved</source>
            <translation>録音の保存が終わるまでお待ちください</translation>
        </message>
        <message>
            <source>The frozen Device Profile of this Measurement cannot be read</source>
            <translation>この測定の固定デバイスプロファイルを読み込めません</translation>
        </message>
        <message>
            <source>A Replay is running: stop it first</source>
            <translation>リプレイ実行中です。先に停止してください</translation>
        </message>
        <message>
            <source>another program opening this Project has taken over the Recording&apos;s samples</source>
            <translation>このプロジェクトを開いた別のプログラムが記録のサンプルを引き継ぎました</translation>
        </message>
        <message>
            <source>the Measurement no longer exists - another program deleted it</source>
            <translation>その測定はもう存在しません - 別のプログラムが削除しました</translation>
        </message>
        <message>
            <source>the Project no longer exists - another program deleted it</source>
            <translation>そのプロジェクトはもう存在しません - 別のプログラムが削除しました</translation>
        </message>
        <message>
            <source>another program is changing the Project - try again</source>
            <translation>別のプログラムがプロジェクトを変更中です - もう一度お試しください</translation>
        </message>
        <message>
            <source>another program is using or changing the Measurement - try again</source>
            <translation>別のプログラムがその測定を使用中か変更中です - もう一度お試しください</translation>
        </message>
        <message>
            <source>another program is saving the noise floor - try again</source>
            <translation>別のプログラムがノイズフロアを保存中です - もう一度お試しください</translation>
        </message>
        <message>
            <source>another program is using the Recording</source>
            <translation>別のプログラムがその記録を使用中です</translation>
        </message>
        <message>
            <source>AnalysisRun %1 of Measurement %2 was not saved: %3</source>
            <translation>測定 %2 の解析ラン %1 は保存されませんでした：%3</translation>
        </message>
        <message>
            <source>Measurement %1 was not changed: %2</source>
            <translation>測定 %1 は変更されませんでした：%2</translation>
        </message>
        <message>
            <source>Measurement %1 was not deleted: %2</source>
            <translation>測定 %1 は削除されませんでした：%2</translation>
        </message>
        <message>
            <source>The folder of this Project is on a network file system (%1) whose locks may not reach other computers (%2): it cannot guard the Project against a second computer writing to it at the same time</source>
            <translation>このプロジェクトのフォルダーはネットワークファイルシステム (%1) 上にあり、そのロックは他のコンピューターに届かない場合があります (%2): 別のコンピューターが同時にこのプロジェクトへ書き込むことを防げません</translation>
        </message>
    </context>
    <context>
        <name>UvcParameter</name>
        <message>
            <source>Brightness</source>
            <translation>明るさ</translation>
        </message>
        <message>
            <source>Contrast</source>
            <translation>コントラスト</translation>
        </message>
        <message>
            <source>Hue</source>
            <translation>色相</translation>
        </message>
        <message>
            <source>Saturation</source>
            <translation>彩度</translation>
        </message>
        <message>
            <source>Sharpness</source>
            <translation>シャープネス</translation>
        </message>
        <message>
            <source>Gamma</source>
            <translation>ガンマ</translation>
        </message>
        <message>
            <source>Color enable</source>
            <translation>カラー有効</translation>
        </message>
        <message>
            <source>White balance</source>
            <translation>ホワイトバランス</translation>
        </message>
        <message>
            <source>Backlight compensation</source>
            <translation>逆光補正</translation>
        </message>
        <message>
            <source>Gain</source>
            <translation>ゲイン</translation>
        </message>
        <message>
            <source>Exposure</source>
            <translation>露出</translation>
        </message>
        <message>
            <source>Focus</source>
            <translation>フォーカス</translation>
        </message>
        <message>
            <source>Iris</source>
            <translation>絞り</translation>
        </message>
        <message>
            <source>Zoom</source>
            <translation>ズーム</translation>
        </message>
        <message>
            <source>Pan</source>
            <translation>パン</translation>
        </message>
        <message>
            <source>Tilt</source>
            <translation>チルト</translation>
        </message>
        <message>
            <source>Roll</source>
            <translation>ロール</translation>
        </message>
        <message>
            <source>Powerline frequency</source>
            <translation>電源周波数</translation>
        </message>
    </context>
    <context>
        <name>AcousticCanvas</name>
        <message>
            <source>No data from the array - this map is not live</source>
            <translation>アレイからのデータがありません - このマップはライブではありません</translation>
        </message>
        <message>
            <source>Acoustic map</source>
            <translation>音響マップ</translation>
        </message>
        <message>
            <source>Camera overlay is not configured in this slice</source>
            <translation>このバージョンではカメラオーバーレイは未設定です</translation>
        </message>
        <message>
            <source>Press Start to publish the first map</source>
            <translation>「開始」を押すと最初のマップを表示します</translation>
        </message>
        <message>
            <source>Import a Device Profile</source>
            <translation>デバイスプロファイルをインポート</translation>
        </message>
        <message>
            <source>The acoustic map updates in real time</source>
            <translation>音響マップはリアルタイムで更新されます</translation>
        </message>
        <message>
            <source>Peak %1° / %2° · span %3 dB · %4 dBFS</source>
            <translation>ピーク %1° / %2° · 幅 %3 dB · %4 dBFS</translation>
        </message>
        <message>
            <source>Peak %1° / %2° · span %3 dB · levels re peak</source>
            <translation>ピーク %1° / %2° · 幅 %3 dB · ピーク基準のレベル</translation>
        </message>
        <message>
            <source>Map below level gate: peak %1 dBFS &lt; gate %2 dBFS - lower Level gate or make sound</source>
            <translation>マップがレベルゲート未満です：ピーク %1 dBFS &lt; ゲート %2 dBFS - レベルゲートを下げるか音を出してください</translation>
        </message>
        <message>
            <source>Azimuth</source>
            <translation>方位角</translation>
        </message>
        <message>
            <source>Elevation</source>
            <translation>仰角</translation>
        </message>
    </context>
    <context>
        <name>AcquisitionPage</name>
        <message>
            <source>Sound pressure map</source>
            <translation>音圧マップ</translation>
        </message>
        <message>
            <source>UVC video overlay active — Record captures a video track</source>
            <translation>UVC 映像オーバーレイ有効 — 録画に映像トラックを含みます</translation>
        </message>
        <message>
            <source>No camera — Record will be audio only</source>
            <translation>カメラなし — 録画は音声のみです</translation>
        </message>
        <message>
            <source>REC %1 · %2 / %3 s · %4 MB · %5</source>
            <translation>録画 %1 · %2 / %3 秒 · %4 MB · %5</translation>
        </message>
        <message>
            <source>CAM</source>
            <translation>カメラ</translation>
        </message>
        <message>
            <source>no video</source>
            <translation>映像なし</translation>
        </message>
    </context>
    <context>
        <name>Main</name>
        <message>
            <source>Device</source>
            <translation>デバイス</translation>
        </message>
        <message>
            <source>Project</source>
            <translation>プロジェクト</translation>
        </message>
        <message>
            <source>Camera</source>
            <translation>カメラ</translation>
        </message>
        <message>
            <source>Live</source>
            <translation>ライブ</translation>
        </message>
        <message>
            <source>Replay</source>
            <translation>再生</translation>
        </message>
        <message>
            <source>Analysis</source>
            <translation>解析</translation>
        </message>
        <message>
            <source>Diagnostics</source>
            <translation>診断</translation>
        </message>
        <message>
            <source>Settings</source>
            <translation>設定</translation>
        </message>
        <message>
            <source>Sorvanta Studio v%1</source>
            <translation>Sorvanta Studio v%1</translation>
        </message>
        <message>
            <source>No profile</source>
            <translation>プロファイルなし</translation>
        </message>
        <message>
            <source>Ready</source>
            <translation>準備完了</translation>
        </message>
        <message>
            <source>Starting</source>
            <translation>開始中</translation>
        </message>
        <message>
            <source>Running</source>
            <translation>実行中</translation>
        </message>
        <message>
            <source>Stopping</source>
            <translation>停止中</translation>
        </message>
        <message>
            <source>Faulted</source>
            <translation>障害</translation>
        </message>
        <message>
            <source>Loading</source>
            <translation>読み込み中</translation>
        </message>
        <message>
            <source>Playing</source>
            <translation>再生中</translation>
        </message>
        <message>
            <source>Paused</source>
            <translation>一時停止</translation>
        </message>
        <message>
            <source>Finished</source>
            <translation>終了</translation>
        </message>
        <message>
            <source>Idle</source>
            <translation>待機</translation>
        </message>
        <message>
            <source>Sorvanta Studio</source>
            <translation>Sorvanta Studio</translation>
        </message>
        <message>
            <source>PROJECT</source>
            <translation>プロジェクト</translation>
        </message>
        <message>
            <source>No project open</source>
            <translation>プロジェクト未選択</translation>
        </message>
        <message>
            <source>No Device Profile</source>
            <translation>デバイスプロファイルなし</translation>
        </message>
        <message>
            <source>Analysis · %1%</source>
            <translation>解析 · %1%</translation>
        </message>
        <message>
            <source>Replay · %1</source>
            <translation>再生 · %1</translation>
        </message>
        <message>
            <source>● REC</source>
            <translation>● 録画</translation>
        </message>
        <message>
            <source>Saving...</source>
            <translation>保存中...</translation>
        </message>
        <message>
            <source>Language</source>
            <translation>言語</translation>
        </message>
        <message>
            <source>Theme</source>
            <translation>テーマ</translation>
        </message>
        <message>
            <source>WORKSPACE</source>
            <translation>ワークスペース</translation>
        </message>
        <message>
            <source>Working…</source>
            <translation>処理中…</translation>
        </message>
        <message>
            <source>Start</source>
            <translation>開始</translation>
        </message>
        <message>
            <source>Stop</source>
            <translation>停止</translation>
        </message>
        <message>
            <source>Stop &amp; save</source>
            <translation>停止して保存</translation>
        </message>
        <message>
            <source>Saving…</source>
            <translation>保存中…</translation>
        </message>
        <message>
            <source>Record</source>
            <translation>録画</translation>
        </message>
        <message>
            <source>DEVICE CONTRACT</source>
            <translation>デバイス契約</translation>
        </message>
        <message>
            <source>No validated profile</source>
            <translation>検証済みプロファイルなし</translation>
        </message>
        <message>
            <source>Background calibration</source>
            <translation>背景キャリブレーション</translation>
        </message>
        <message>
            <source>Calibration in progress - please keep the on-site environment stable</source>
            <translation>キャリブレーション中 - 現場の環境を安定に保ってください</translation>
        </message>
        <message>
            <source>%1 s remaining</source>
            <translation>残り %1 秒</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>キャンセル</translation>
        </message>
    </context>
    <context>
        <name>AlgorithmMapPanel</name>
        <message>
            <source>Acoustic map</source>
            <translation>音響マップ</translation>
        </message>
        <message>
            <source>Range %1 dB</source>
            <translation>レンジ %1 dB</translation>
        </message>
        <message>
            <source>Level gate %1 dBFS</source>
            <translation>レベルゲート %1 dBFS</translation>
        </message>
        <message>
            <source>Alpha %1%</source>
            <translation>不透明度 %1%</translation>
        </message>
        <message>
            <source>Colormap</source>
            <translation>カラーマップ</translation>
        </message>
        <message>
            <source>Style</source>
            <translation>スタイル</translation>
        </message>
        <message>
            <source>Contour</source>
            <translation>等高線</translation>
        </message>
        <message>
            <source>Contour + fill</source>
            <translation>等高線 + 塗りつぶし</translation>
        </message>
        <message>
            <source>Peak cross</source>
            <translation>ピーク十字</translation>
        </message>
        <message>
            <source>Fill</source>
            <translation>塗りつぶし</translation>
        </message>
        <message>
            <source>Scale</source>
            <translation>スケール</translation>
        </message>
        <message>
            <source>Fixed dBFS</source>
            <translation>固定 dBFS</translation>
        </message>
        <message>
            <source>Auto peak</source>
            <translation>自動ピーク</translation>
        </message>
        <message>
            <source>Diagonal removal</source>
            <translation>対角除去</translation>
        </message>
        <message>
            <source>Background noise</source>
            <translation>背景ノイズ</translation>
        </message>
        <message>
            <source>Calibrate (5 s)</source>
            <translation>校正（5 秒）</translation>
        </message>
        <message>
            <source>Integration time</source>
            <translation>積分時間</translation>
        </message>
        <message>
            <source>Air temp %1 °C · %2 m/s</source>
            <translation>気温 %1 °C · %2 m/s</translation>
        </message>
        <message>
            <source>Confidence %1 dB</source>
            <translation>信頼度 %1 dB</translation>
        </message>
        <message>
            <source>%1–%2 Hz · %3 bins (auto)</source>
            <translation>%1–%2 Hz · %3 ビン（自動）</translation>
        </message>
        <message>
            <source>Frequency band is selected automatically</source>
            <translation>周波数帯域は自動で選択されます</translation>
        </message>
        <message>
            <source>▾ Algorithm parameters</source>
            <translation>▾ アルゴリズムパラメータ</translation>
        </message>
        <message>
            <source>▸ Algorithm parameters</source>
            <translation>▸ アルゴリズムパラメータ</translation>
        </message>
        <message>
            <source>applied r%1</source>
            <translation>適用済み r%1</translation>
        </message>
        <message>
            <source>Noise subtraction waits for the calibration to end</source>
            <translation>ノイズ除去はキャリブレーションの終了を待っています</translation>
        </message>
        <message>
            <source>Subtract the calibrated background noise from the map</source>
            <translation>校正済みの背景ノイズをマップから差し引きます</translation>
        </message>
        <message>
            <source>Noise subtraction needs a calibration of this device profile first</source>
            <translation>ノイズ除去には、まずこのデバイスプロファイルのキャリブレーションが必要です</translation>
        </message>
        <message>
            <source>Single bin</source>
            <translation>単一ビン</translation>
        </message>
        <message>
            <source>Custom bandwidth</source>
            <translation>カスタム帯域幅</translation>
        </message>
        <message>
            <source>1/3 octave</source>
            <translation>1/3 オクターブ</translation>
        </message>
        <message>
            <source>Focus %1 m</source>
            <translation>焦点 %1 m</translation>
        </message>
        <message>
            <source>Focus ∞</source>
            <translation>焦点 ∞</translation>
        </message>
    </context>
    <context>
        <name>ReplayPage</name>
        <message>
            <source>No Measurement selected</source>
            <translation>測定が選択されていません</translation>
        </message>
        <message>
            <source>Frozen: %1</source>
            <translation>固定：%1</translation>
        </message>
        <message>
            <source>Frozen Profile loads on Start</source>
            <translation>固定プロファイルは開始時に読み込まれます</translation>
        </message>
        <message>
            <source>video track</source>
            <translation>ビデオトラック</translation>
        </message>
        <message>
            <source>audio only</source>
            <translation>音声のみ</translation>
        </message>
        <message>
            <source>Start Measurement Replay</source>
            <translation>測定の再生を開始</translation>
        </message>
        <message>
            <source>band edits recompute at the current replay position</source>
            <translation>帯域の変更は現在の再生位置で再計算されます</translation>
        </message>
        <message>
            <source>Replay sound pressure map</source>
            <translation>再生音圧マップ</translation>
        </message>
        <message>
            <source>Start Replay to recompute from immutable raw</source>
            <translation>再生を開始して変更不可の生データから再計算</translation>
        </message>
        <message>
            <source>%1 · %2 · click map to play/pause</source>
            <translation>%1 · %2 · マップをクリックで再生/一時停止</translation>
        </message>
        <message>
            <source>Replay recomputes the acoustic map from the recorded raw data</source>
            <translation>再生は記録された生データから音響マップを再計算します</translation>
        </message>
        <message>
            <source>%1 / %2 s</source>
            <translation>%1 / %2 秒</translation>
        </message>
        <message>
            <source>Replay again</source>
            <translation>もう一度再生</translation>
        </message>
        <message>
            <source>Start Replay</source>
            <translation>再生開始</translation>
        </message>
        <message>
            <source>Resume</source>
            <translation>再開</translation>
        </message>
        <message>
            <source>Pause</source>
            <translation>一時停止</translation>
        </message>
        <message>
            <source>Stop</source>
            <translation>停止</translation>
        </message>
        <message>
            <source>Open project folder</source>
            <translation>プロジェクトフォルダを開く</translation>
        </message>
        <message>
            <source>Analyze at position</source>
            <translation>この位置で解析</translation>
        </message>
        <message>
            <source>Select a Measurement, then Start Replay — recording integrity is verified before playback</source>
            <translation>測定を選択して再生を開始 — 再生前に記録の完全性を検証します</translation>
        </message>
        <message>
            <source>1.0x · frozen Profile</source>
            <translation>1.0x · 固定プロファイル</translation>
        </message>
        <message>
            <source>Start Replay — recording integrity is verified before playback</source>
            <translation>リプレイを開始 — 再生前に記録の完全性を検証します</translation>
        </message>
    </context>
    <context>
        <name>ActionBlockers</name>
        <message>
            <source>Wait until the Recording is saved</source>
            <translation>録音の保存が終わるまでお待ちください</translation>
        </message>
        <message>
            <source>Wait until the Full Recompute ends</source>
            <translation>完全再計算が終わるまでお待ちください</translation>
        </message>
        <message>
            <source>Analyze at position needs an active Replay: start one first</source>
            <translation>「この位置で解析」には実行中のリプレイが必要です。先にリプレイを開始してください</translation>
        </message>
        <message>
            <source>Start Live before Recording</source>
            <translation>録音の前にライブを開始してください</translation>
        </message>
        <message>
            <source>Open or create a Project before Recording</source>
            <translation>録音の前にプロジェクトを開くか作成してください</translation>
        </message>
        <message>
            <source>Background noise is calibrated from Live: stop the Replay and start Live</source>
            <translation>背景ノイズはライブで校正します。リプレイを停止してライブを開始してください</translation>
        </message>
        <message>
            <source>Calibrate before or after a Recording, not during it</source>
            <translation>校正は録音の前か後に行ってください。録音中はできません</translation>
        </message>
        <message>
            <source>Start Live to calibrate the background noise</source>
            <translation>背景ノイズを校正するにはライブを開始してください</translation>
        </message>
        <message>
            <source>Select a Measurement on the Project page first</source>
            <translation>先にプロジェクトページで測定を選択してください</translation>
        </message>
        <message>
            <source>Stop Live before importing a Device Profile</source>
            <translation>デバイスプロファイルをインポートする前にライブを停止してください</translation>
        </message>
        <message>
            <source>Stop the Replay before changing the source</source>
            <translation>ソースを変更する前にリプレイを停止してください</translation>
        </message>
        <message>
            <source>Stop Live before changing the source</source>
            <translation>ソースを変更する前にライブを停止してください</translation>
        </message>
        <message>
            <source>Live is running</source>
            <translation>ライブ実行中です</translation>
        </message>
        <message>
            <source>Wait until Live has stopped</source>
            <translation>ライブが停止するまでお待ちください</translation>
        </message>
        <message>
            <source>Import a validated Device Profile on the Device page first</source>
            <translation>先にデバイスページで検証済みのデバイスプロファイルをインポートしてください</translation>
        </message>
        <message>
            <source>Stop the Replay before starting Live</source>
            <translation>ライブを開始する前にリプレイを停止してください</translation>
        </message>
        <message>
            <source>Live cannot start in the current state</source>
            <translation>現在の状態ではライブを開始できません</translation>
        </message>
        <message>
            <source>Live is not running</source>
            <translation>ライブは実行されていません</translation>
        </message>
        <message>
            <source>Stop Live before resetting the defaults</source>
            <translation>既定値に戻す前にライブを停止してください</translation>
        </message>
        <message>
            <source>The band is set while Live is ready or running, or in a Replay</source>
            <translation>帯域はライブの準備完了中・実行中、またはリプレイ中に設定できます</translation>
        </message>
        <message>
            <source>This map is shown relative to its peak: the level gate and the fixed dBFS scale do not apply to it</source>
            <translation>このマップはピーク基準で表示されています：レベルゲートと固定 dBFS スケールは適用されません</translation>
        </message>
        <message>
            <source>Stop the Recording first</source>
            <translation>先に録音を停止してください</translation>
        </message>
        <message>
            <source>Stop the Replay first</source>
            <translation>先にリプレイを停止してください</translation>
        </message>
        <message>
            <source>No recent Projects yet</source>
            <translation>最近使ったプロジェクトはまだありません</translation>
        </message>
        <message>
            <source>Start a Replay to move through it</source>
            <translation>リプレイを開始すると位置を移動できます</translation>
        </message>
        <message>
            <source>No Replay is playing</source>
            <translation>再生中のリプレイはありません</translation>
        </message>
        <message>
            <source>No Replay is running</source>
            <translation>実行中のリプレイはありません</translation>
        </message>
        <message>
            <source>Open or create a Project first</source>
            <translation>先にプロジェクトを開くか作成してください</translation>
        </message>
        <message>
            <source>Channels are listed once Live runs</source>
            <translation>チャンネルはライブの実行中に一覧表示されます</translation>
        </message>
        <message>
            <source>Wait until the array answers: %1</source>
            <translation>アレイの応答をお待ちください：%1</translation>
        </message>
        <message>
            <source>Choose the serial port of the array first</source>
            <translation>先にアレイのシリアルポートを選択してください</translation>
        </message>
    </context>
    <context>
        <name>SignalDiagnostics</name>
        <message>
            <source>No data from the array - these views are not live</source>
            <translation>アレイからのデータがありません - これらの表示はライブではありません</translation>
        </message>
        <message>
            <source>waiting for data</source>
            <translation>データ待機中</translation>
        </message>
        <message>
            <source>16ch overlay · %1 ms · wheel zooms the time axis</source>
            <translation>16ch オーバーレイ · %1 ms · ホイールで時間軸をズーム</translation>
        </message>
        <message>
            <source>16 lanes · ch %1-%2 · wheel zooms the time axis</source>
            <translation>16 レーン · ch %1-%2 · ホイールで時間軸をズーム</translation>
        </message>
        <message>
            <source>ch %1 · window %2 s · wheel zooms the time axis</source>
            <translation>ch %1 · 窓 %2 s · ホイールで時間軸をズーム</translation>
        </message>
        <message>
            <source>Signal monitor</source>
            <translation>信号モニター</translation>
        </message>
        <message>
            <source>Live snapshots · same samples as Recorder and DSP</source>
            <translation>ライブスナップショット · レコーダーと DSP と同じサンプル</translation>
        </message>
        <message>
            <source>Channel</source>
            <translation>チャンネル</translation>
        </message>
        <message>
            <source>Gain (0-10)</source>
            <translation>ゲイン（0-10）</translation>
        </message>
        <message>
            <source>no serial link</source>
            <translation>シリアル接続なし</translation>
        </message>
        <message>
            <source>Time waveform</source>
            <translation>時間波形</translation>
        </message>
        <message>
            <source>Single</source>
            <translation>シングル</translation>
        </message>
        <message>
            <source>16 lanes</source>
            <translation>16 レーン</translation>
        </message>
        <message>
            <source>16 overlay</source>
            <translation>16 オーバーレイ</translation>
        </message>
        <message>
            <source>Spectrum (dBFS)</source>
            <translation>スペクトル（dBFS）</translation>
        </message>
        <message>
            <source>bin %1 Hz · Hann · click to choose imaging center frequency</source>
            <translation>ビン %1 Hz · Hann · クリックで画像化中心周波数を選択</translation>
        </message>
        <message>
            <source>Auxiliary view</source>
            <translation>補助ビュー</translation>
        </message>
        <message>
            <source>Channel RMS</source>
            <translation>チャンネル RMS</translation>
        </message>
        <message>
            <source>Waterfall</source>
            <translation>ウォーターフォール</translation>
        </message>
    </context>
    <context>
        <name>CameraPage</name>
        <message>
            <source>Mono</source>
            <translation>モノクロ</translation>
        </message>
        <message>
            <source>Invert</source>
            <translation>反転</translation>
        </message>
        <message>
            <source>False color · Turbo</source>
            <translation>疑似カラー · Turbo</translation>
        </message>
        <message>
            <source>False color · Viridis</source>
            <translation>疑似カラー · Viridis</translation>
        </message>
        <message>
            <source>False color · Magma</source>
            <translation>疑似カラー · Magma</translation>
        </message>
        <message>
            <source>False color · JET</source>
            <translation>疑似カラー · JET</translation>
        </message>
        <message>
            <source>Edge detect</source>
            <translation>エッジ検出</translation>
        </message>
        <message>
            <source>Focus peaking</source>
            <translation>フォーカスピーキング</translation>
        </message>
        <message>
            <source>Zebra</source>
            <translation>ゼブラ</translation>
        </message>
        <message>
            <source>Dots</source>
            <translation>ドット</translation>
        </message>
        <message>
            <source>Sharpen</source>
            <translation>シャープ</translation>
        </message>
        <message>
            <source>Original</source>
            <translation>オリジナル</translation>
        </message>
        <message>
            <source>50 Hz</source>
            <translation>50 Hz</translation>
        </message>
        <message>
            <source>60 Hz</source>
            <translation>60 Hz</translation>
        </message>
        <message>
            <source>Off</source>
            <translation>オフ</translation>
        </message>
        <message>
            <source>calibrated FOV</source>
            <translation>校正済み FOV</translation>
        </message>
        <message>
            <source>Auto</source>
            <translation>自動</translation>
        </message>
        <message>
            <source>Camera</source>
            <translation>カメラ</translation>
        </message>
        <message>
            <source>· Running</source>
            <translation>· 動作中</translation>
        </message>
        <message>
            <source>· Stopped</source>
            <translation>· 停止中</translation>
        </message>
        <message>
            <source>Open Camera</source>
            <translation>カメラを開く</translation>
        </message>
        <message>
            <source>Stop Camera</source>
            <translation>カメラを停止</translation>
        </message>
        <message>
            <source>Refresh</source>
            <translation>更新</translation>
        </message>
        <message>
            <source>UVC device</source>
            <translation>UVC デバイス</translation>
        </message>
        <message>
            <source>No Camera detected</source>
            <translation>カメラが検出されません</translation>
        </message>
        <message>
            <source>State</source>
            <translation>状態</translation>
        </message>
        <message>
            <source>Active</source>
            <translation>アクティブ</translation>
        </message>
        <message>
            <source>Idle</source>
            <translation>待機</translation>
        </message>
        <message>
            <source>Mirror</source>
            <translation>ミラー</translation>
        </message>
        <message>
            <source>Horizontal</source>
            <translation>水平</translation>
        </message>
        <message>
            <source>Normal</source>
            <translation>通常</translation>
        </message>
        <message>
            <source>Role</source>
            <translation>役割</translation>
        </message>
        <message>
            <source>Camera settings only · overlay is shown in Live</source>
            <translation>カメラ設定のみ · オーバーレイはライブに表示</translation>
        </message>
        <message>
            <source>Select a UVC camera and press Open Camera</source>
            <translation>UVC カメラを選択して「カメラを開く」を押してください</translation>
        </message>
        <message>
            <source>Camera settings only · acoustic overlay is shown in Live</source>
            <translation>カメラ設定のみ · 音響オーバーレイはライブに表示</translation>
        </message>
        <message>
            <source>Camera settings</source>
            <translation>カメラ設定</translation>
        </message>
        <message>
            <source>Live workspace displays acoustic overlay</source>
            <translation>ライブワークスペースに音響オーバーレイを表示</translation>
        </message>
        <message>
            <source>UVC stream active</source>
            <translation>UVC ストリーム動作中</translation>
        </message>
        <message>
            <source>UVC stream stopped</source>
            <translation>UVC ストリーム停止</translation>
        </message>
        <message>
            <source>Resolution</source>
            <translation>解像度</translation>
        </message>
        <message>
            <source>Frame rate</source>
            <translation>フレームレート</translation>
        </message>
        <message>
            <source>Cropped sensor readout: the camera narrows its FOV at this resolution (calibrated at %1); Live overlay alignment is approximate</source>
            <translation>センサーのクロップ読み出し: この解像度ではカメラの FOV が狭くなります（%1 で校正）。ライブオーバーレイの位置合わせは概算です</translation>
        </message>
        <message>
            <source>Processing</source>
            <translation>画像処理</translation>
        </message>
        <message>
            <source>Strength</source>
            <translation>強度</translation>
        </message>
        <message>
            <source>UVC parameters</source>
            <translation>UVC パラメーター</translation>
        </message>
        <message>
            <source>Reset all</source>
            <translation>すべてリセット</translation>
        </message>
        <message>
            <source>Open the camera to enumerate its UVC controls; settings persist per device and apply to the Live overlay as well</source>
            <translation>カメラを開くと UVC コントロールが列挙されます。設定はデバイスごとに保存され、ライブオーバーレイにも適用されます</translation>
        </message>
        <message>
            <source>auto</source>
            <translation>自動</translation>
        </message>
        <message>
            <source>No camera found: connect one and press Refresh</source>
            <translation>カメラが見つかりません：接続して「更新」を押してください</translation>
        </message>
        <message>
            <source>The camera is open</source>
            <translation>カメラは開いています</translation>
        </message>
        <message>
            <source>The camera is not open</source>
            <translation>カメラは開いていません</translation>
        </message>
        <message>
            <source>The picture format stays as it is while Recording</source>
            <translation>録音中は映像フォーマットを変更できません</translation>
        </message>
        <message>
            <source>Open a camera to choose among its resolutions</source>
            <translation>解像度を選ぶにはカメラを開いてください</translation>
        </message>
        <message>
            <source>Choose a resolution first</source>
            <translation>先に解像度を選択してください</translation>
        </message>
        <message>
            <source>This camera offers no parameters to reset</source>
            <translation>このカメラにはリセットできるパラメーターがありません</translation>
        </message>
        <message>
            <source>Set by the camera while Auto is on</source>
            <translation>自動がオンの間はカメラが設定します</translation>
        </message>
    </context>
    <context>
        <name>DevicePage</name>
        <message>
            <source>%1 ch · %2 m × %3 m</source>
            <translation>%1 ch · %2 m × %3 m</translation>
        </message>
        <message>
            <source>DEVICE PROFILE</source>
            <translation>デバイスプロファイル</translation>
        </message>
        <message>
            <source>Browse…</source>
            <translation>参照…</translation>
        </message>
        <message>
            <source>Import</source>
            <translation>インポート</translation>
        </message>
        <message>
            <source>No validated profile loaded</source>
            <translation>検証済みプロファイルが読み込まれていません</translation>
        </message>
        <message>
            <source>Source</source>
            <translation>ソース</translation>
        </message>
        <message>
            <source>Azimuth</source>
            <translation>方位角</translation>
        </message>
        <message>
            <source>Elevation</source>
            <translation>仰角</translation>
        </message>
        <message>
            <source>CONTROL LINK (SERIAL)</source>
            <translation>制御リンク（シリアル）</translation>
        </message>
        <message>
            <source>Refresh</source>
            <translation>更新</translation>
        </message>
        <message>
            <source>Probe &amp; Select</source>
            <translation>検出して選択</translation>
        </message>
        <message>
            <source>Gain (0-10)</source>
            <translation>ゲイン（0-10）</translation>
        </message>
        <message>
            <source>Hardware ID: %1</source>
            <translation>ハードウェア ID: %1</translation>
        </message>
        <message>
            <source>not read</source>
            <translation>未読み取り</translation>
        </message>
        <message>
            <source>Read ID</source>
            <translation>ID を読み取る</translation>
        </message>
        <message>
            <source>UDP output (V1.4.1+ devices)</source>
            <translation>UDP 出力（V1.4.1 以降のデバイス）</translation>
        </message>
        <message>
            <source>Enable</source>
            <translation>有効化</translation>
        </message>
        <message>
            <source>Disable</source>
            <translation>無効化</translation>
        </message>
        <message>
            <source>FLASH SECTORS</source>
            <translation>フラッシュセクター</translation>
        </message>
        <message>
            <source>Network parameters (sector 256)</source>
            <translation>ネットワークパラメーター（セクター 256）</translation>
        </message>
        <message>
            <source>Read</source>
            <translation>読み取り</translation>
        </message>
        <message>
            <source>Write...</source>
            <translation>書き込み...</translation>
        </message>
        <message>
            <source>One-click network setup</source>
            <translation>ワンクリックネットワーク設定</translation>
        </message>
        <message>
            <source>Select the network adapter the array is plugged into; the app picks a conflict-free address, writes it and reboots the array.</source>
            <translation>アレイが接続されているネットワークアダプターを選択してください。アプリが競合しないアドレスを選び、書き込んでアレイを再起動します。</translation>
        </message>
        <message>
            <source>Auto Configure...</source>
            <translation>自動設定...</translation>
        </message>
        <message>
            <source>FIR coefficients (sector 768)</source>
            <translation>FIR 係数（セクター 768）</translation>
        </message>
        <message>
            <source>Write Preset...</source>
            <translation>プリセットを書き込む...</translation>
        </message>
        <message>
            <source>ARRAY LAYOUT (TOP VIEW)</source>
            <translation>アレイ配置（上面図）</translation>
        </message>
        <message>
            <source>Import a Device Profile to preview the array layout</source>
            <translation>アレイ配置をプレビューするにはデバイスプロファイルをインポートしてください</translation>
        </message>
        <message>
            <source>LOG</source>
            <translation>ログ</translation>
        </message>
        <message>
            <source>Clear</source>
            <translation>クリア</translation>
        </message>
        <message>
            <source>Import Device Profile</source>
            <translation>デバイスプロファイルのインポート</translation>
        </message>
        <message>
            <source>Auto network setup</source>
            <translation>自動ネットワーク設定</translation>
        </message>
        <message>
            <source>The app reads the array's current parameters, assigns a conflict-free address on the selected adapter's network, writes it and reboots the array (.reset).

Adapter: %1

Continue?</source>
            <translation>アプリはアレイの現在のパラメーターを読み取り、選択したアダプターのネットワークで競合しないアドレスを割り当て、書き込んでアレイを再起動します（.reset）。

アダプター: %1

続行しますか？</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>キャンセル</translation>
        </message>
        <message>
            <source>Write</source>
            <translation>書き込み</translation>
        </message>
        <message>
            <source>Reboot device?</source>
            <translation>デバイスを再起動しますか？</translation>
        </message>
        <message>
            <source>Network parameters were written and verified. They take effect only after the device reboots. Reboot the device now? The UDP stream will drop until the device is back.</source>
            <translation>ネットワークパラメーターを書き込み、検証しました。デバイスの再起動後にのみ有効になります。今すぐ再起動しますか？デバイスが復帰するまで UDP ストリームは途切れます。</translation>
        </message>
        <message>
            <source>Later</source>
            <translation>後で</translation>
        </message>
        <message>
            <source>Reboot now</source>
            <translation>今すぐ再起動</translation>
        </message>
        <message>
            <source>Write FIR preset</source>
            <translation>FIR プリセットの書き込み</translation>
        </message>
        <message>
            <source>Write preset "%1" from the active device profile to sector 768? The sector is erased, written and read back for verification.</source>
            <translation>アクティブなデバイスプロファイルのプリセット「%1」をセクター 768 に書き込みますか？セクターは消去、書き込みされ、検証のために読み戻されます。</translation>
        </message>
        <message>
            <source>Type a Device Profile's path or browse for one</source>
            <translation>デバイスプロファイルのパスを入力するか、参照して選んでください</translation>
        </message>
        <message>
            <source>Choose the network adapter the array is plugged into</source>
            <translation>アレイが接続されているネットワークアダプターを選択してください</translation>
        </message>
        <message>
            <source>The Device Profile holds no FIR preset to write</source>
            <translation>デバイスプロファイルに書き込める FIR プリセットがありません</translation>
        </message>
    </context>
    <context>
        <name>NetWriteDialog</name>
        <message>
            <source>Write network parameters (sector 256)</source>
            <translation>ネットワークパラメーターの書き込み（セクター 256）</translation>
        </message>
        <message>
            <source>Wrong parameters can make the device unreachable; they are verified by read-back before reporting success. They take effect after the device reboots - you will be offered to reboot the device when the write completes.</source>
            <translation>誤ったパラメーターはデバイスに到達できなくなる原因になります。成功を報告する前に読み戻しで検証されます。パラメーターはデバイスの再起動後に有効になります。書き込みが完了すると再起動を提案します。</translation>
        </message>
        <message>
            <source>Board MAC</source>
            <translation>ボード MAC</translation>
        </message>
        <message>
            <source>Board IP</source>
            <translation>ボード IP</translation>
        </message>
        <message>
            <source>Target MAC</source>
            <translation>ターゲット MAC</translation>
        </message>
        <message>
            <source>Target IP</source>
            <translation>ターゲット IP</translation>
        </message>
        <message>
            <source>Source port</source>
            <translation>送信元ポート</translation>
        </message>
        <message>
            <source>Target port</source>
            <translation>宛先ポート</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>キャンセル</translation>
        </message>
        <message>
            <source>Write</source>
            <translation>書き込み</translation>
        </message>
    </context>
    <context>
        <name>DiagnosticsPage</name>
        <message>
            <source>Diagnostics</source>
            <translation>診断</translation>
        </message>
        <message>
            <source>Export diagnostics bundle</source>
            <translation>診断バンドルを書き出す</translation>
        </message>
        <message>
            <source>Open folder</source>
            <translation>フォルダーを開く</translation>
        </message>
        <message>
            <source>Event log</source>
            <translation>イベントログ</translation>
        </message>
    </context>
    <context>
        <name>SettingsPage</name>
        <message>
            <source>Settings</source>
            <translation>設定</translation>
        </message>
        <message>
            <source>Backup &amp; restore</source>
            <translation>バックアップと復元</translation>
        </message>
        <message>
            <source>Reset defaults</source>
            <translation>既定値に戻す</translation>
        </message>
        <message>
            <source>Back up now</source>
            <translation>今すぐバックアップ</translation>
        </message>
        <message>
            <source>Reset restores display and DSP defaults (stop the session first); backup writes the current settings to the Documents folder.</source>
            <translation>リセットは表示と DSP の既定値を復元します（先にセッションを停止してください）。バックアップは現在の設定を「ドキュメント」フォルダーに書き出します。</translation>
        </message>
        <message>
            <source>Recording</source>
            <translation>録音</translation>
        </message>
        <message>
            <source>Max duration</source>
            <translation>最大時間</translation>
        </message>
        <message>
            <source>s</source>
            <translation>秒</translation>
        </message>
        <message>
            <source>A recording stops and saves automatically once it reaches this limit (1-120 s).</source>
            <translation>録音はこの上限（1～120 秒）に達すると自動的に停止して保存されます。</translation>
        </message>
        <message>
            <source>About</source>
            <translation>情報</translation>
        </message>
        <message>
            <source>Profile: </source>
            <translation>プロファイル: </translation>
        </message>
        <message>
            <source>none</source>
            <translation>なし</translation>
        </message>
    </context>
    <context>
        <name>SpectrumPage</name>
        <message>
            <source>Spectrum</source>
            <translation>スペクトル</translation>
        </message>
    </context>
    <context>
        <name>AnalysisPage</name>
        <message>
            <source>Auto (3τ)</source>
            <translation>自動 (3τ)</translation>
        </message>
        <message>
            <source>Measurement input</source>
            <translation>測定入力</translation>
        </message>
        <message>
            <source>Select one in Measurements</source>
            <translation>「測定」で選択してください</translation>
        </message>
        <message>
            <source>Analysis always starts from an immutable Measurement.</source>
            <translation>解析は常に変更不可の測定から始まります。</translation>
        </message>
        <message>
            <source>Frozen: %1</source>
            <translation>固定：%1</translation>
        </message>
        <message>
            <source>ANALYSIS RUNS</source>
            <translation>解析ラン</translation>
        </message>
        <message>
            <source>No AnalysisRun yet
Create the first full recompute</source>
            <translation>解析ランはまだありません
最初の完全再計算を作成してください</translation>
        </message>
        <message>
            <source>Select a Measurement first</source>
            <translation>先に測定を選択してください</translation>
        </message>
        <message>
            <source>invalid</source>
            <translation>無効</translation>
        </message>
        <message>
            <source>%1 · %2 bins · frame %3/%4 · grid %5°</source>
            <translation>%1 · %2 ビン · フレーム %3/%4 · グリッド %5°</translation>
        </message>
        <message>
            <source>map saved</source>
            <translation>マップ保存済み</translation>
        </message>
        <message>
            <source>metadata only</source>
            <translation>メタデータのみ</translation>
        </message>
        <message>
            <source>%1 recompute</source>
            <translation>%1 再計算</translation>
        </message>
        <message>
            <source>legacy run</source>
            <translation>旧形式のラン</translation>
        </message>
        <message>
            <source>Analysis result</source>
            <translation>解析結果</translation>
        </message>
        <message>
            <source>Unsaved result - save to keep it</source>
            <translation>未保存の結果 - 残すには保存してください</translation>
        </message>
        <message>
            <source>Each run keeps its own map and provenance</source>
            <translation>各ランは独自のマップと来歴を保持します</translation>
        </message>
        <message>
            <source>Create or select an AnalysisRun</source>
            <translation>解析ランを作成または選択してください</translation>
        </message>
        <message>
            <source>Select a Measurement</source>
            <translation>測定を選択してください</translation>
        </message>
        <message>
            <source>Full recompute uses the Measurement's frozen Profile</source>
            <translation>完全再計算は測定の固定プロファイルを使用します</translation>
        </message>
        <message>
            <source>Spectrum - analysis window</source>
            <translation>スペクトル - 解析ウィンドウ</translation>
        </message>
        <message>
            <source>Averaged over the whole Measurement - click the spectrum to set the centre frequency</source>
            <translation>測定全体で平均 - スペクトルをクリックして中心周波数を設定</translation>
        </message>
        <message>
            <source>Full Recompute</source>
            <translation>完全再計算</translation>
        </message>
        <message>
            <source>Full recompute from raw measurement data</source>
            <translation>生の測定データから完全再計算</translation>
        </message>
        <message>
            <source>ALGORITHM</source>
            <translation>アルゴリズム</translation>
        </message>
        <message>
            <source>BAND</source>
            <translation>バンド</translation>
        </message>
        <message>
            <source>BANDWIDTH HZ</source>
            <translation>帯域幅 HZ</translation>
        </message>
        <message>
            <source>CENTER (HZ)</source>
            <translation>中心 (HZ)</translation>
        </message>
        <message>
            <source>Window</source>
            <translation>ウィンドウ</translation>
        </message>
        <message>
            <source>Whole measurement</source>
            <translation>測定全体</translation>
        </message>
        <message>
            <source>Advanced parameters</source>
            <translation>詳細パラメータ</translation>
        </message>
        <message>
            <source>Computing…</source>
            <translation>計算中…</translation>
        </message>
        <message>
            <source>Create AnalysisRun</source>
            <translation>解析ランを作成</translation>
        </message>
        <message>
            <source>FRAME</source>
            <translation>フレーム</translation>
        </message>
        <message>
            <source>HOP</source>
            <translation>ホップ</translation>
        </message>
        <message>
            <source>GRID STEP</source>
            <translation>グリッド間隔</translation>
        </message>
        <message>
            <source>FOCUS</source>
            <translation>フォーカス</translation>
        </message>
        <message>
            <source>Air temp %1 °C · %2 m/s</source>
            <translation>気温 %1 °C · %2 m/s</translation>
        </message>
        <message>
            <source>Confidence %1 dB</source>
            <translation>信頼度 %1 dB</translation>
        </message>
        <message>
            <source>Range %1 dB</source>
            <translation>範囲 %1 dB</translation>
        </message>
        <message>
            <source>Level gate %1 dBFS</source>
            <translation>レベルゲート %1 dBFS</translation>
        </message>
        <message>
            <source>Colormap</source>
            <translation>カラーマップ</translation>
        </message>
        <message>
            <source>Style</source>
            <translation>スタイル</translation>
        </message>
        <message>
            <source>Scale</source>
            <translation>スケール</translation>
        </message>
        <message>
            <source>Alpha %1%</source>
            <translation>不透明度 %1%</translation>
        </message>
        <message>
            <source>Contour</source>
            <translation>等高線</translation>
        </message>
        <message>
            <source>Contour + fill</source>
            <translation>等高線 + 塗りつぶし</translation>
        </message>
        <message>
            <source>Peak cross</source>
            <translation>ピーク十字</translation>
        </message>
        <message>
            <source>Fill</source>
            <translation>塗りつぶし</translation>
        </message>
        <message>
            <source>Fixed dBFS</source>
            <translation>固定 dBFS</translation>
        </message>
        <message>
            <source>Auto peak</source>
            <translation>自動ピーク</translation>
        </message>
        <message>
            <source>Unsaved analysis result</source>
            <translation>未保存の解析結果</translation>
        </message>
        <message>
            <source>Computed results are only kept in memory until you save them. Saving writes an immutable AnalysisRun to the Measurement.</source>
            <translation>計算結果は保存するまでメモリ上にのみ保持されます。保存すると変更不可の解析ランが測定に書き込まれます。</translation>
        </message>
        <message>
            <source>Save analysis result</source>
            <translation>解析結果を保存</translation>
        </message>
        <message>
            <source>Discard</source>
            <translation>破棄</translation>
        </message>
        <message>
            <source>params  %1</source>
            <translation>パラメータ  %1</translation>
        </message>
        <message>
            <source>Immutable run · Measurement RAW was hash-checked before and after recompute</source>
            <translation>変更不可のラン · 再計算の前後で測定 RAW のハッシュを確認済み</translation>
        </message>
        <message>
            <source>Export CSV + profile manifest</source>
            <translation>CSV + プロファイルマニフェストをエクスポート</translation>
        </message>
        <message>
            <source>the unsaved result</source>
            <translation>未保存の結果</translation>
        </message>
        <message>
            <source>Live holds the map: %1 shows as soon as Live stops</source>
            <translation>ライブがマップを使用中です。ライブが停止するとすぐに %1 を表示します</translation>
        </message>
        <message>
            <source>The Replay holds the map: %1 shows as soon as it stops</source>
            <translation>リプレイがマップを使用中です。停止するとすぐに %1 を表示します</translation>
        </message>
        <message>
            <source>%1 has no saved map</source>
            <translation>%1 には保存されたマップがありません</translation>
        </message>
        <message>
            <source>full recompute</source>
            <translation>完全再計算</translation>
        </message>
        <message>
            <source>Single</source>
            <translation>単一ビン</translation>
        </message>
        <message>
            <source>Custom</source>
            <translation>カスタム</translation>
        </message>
        <message>
            <source>1/3 octave</source>
            <translation>1/3 オクターブ</translation>
        </message>
        <message>
            <source>far field</source>
            <translation>遠距離場</translation>
        </message>
        <message>
            <source>fast recompute</source>
            <translation>高速再計算</translation>
        </message>
        <message>
            <source>%1 dBFS</source>
            <translation>%1 dBFS</translation>
        </message>
        <message>
            <source>%1 dB re peak</source>
            <translation>%1 dB（ピーク基準）</translation>
        </message>
        <message>
            <source>%1 dB</source>
            <translation>%1 dB</translation>
        </message>
        <message>
            <source>peak %1° / %2° · %3 · %4 · %5</source>
            <translation>ピーク %1° / %2° · %3 · %4 · %5</translation>
        </message>
    </context>
    <context>
        <name>zk::device::DeviceController</name>
        <message>
            <source>%1 failed: %2</source>
            <translation>%1 に失敗しました：%2</translation>
        </message>
        <message>
            <source>serial worker call refused</source>
            <translation>シリアルワーカーが呼び出しを拒否しました</translation>
        </message>
        <message>
            <source>unexpected error</source>
            <translation>予期しないエラー</translation>
        </message>
        <message>
            <source>probe: no serial ports found</source>
            <translation>プローブ：シリアルポートが見つかりません</translation>
        </message>
        <message>
            <source>probe</source>
            <translation>プローブ</translation>
        </message>
        <message numerus="yes">
            <source>probing %n port...</source>
            <translation>
                <numerusform>%n 個のポートをプローブしています…</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>probing %n ports...</source>
            <translation>
                <numerusform>%n 個のポートをプローブしています…</numerusform>
            </translation>
        </message>
        <message>
            <source>read(0): no serial port selected</source>
            <translation>read(0)：シリアルポートが選択されていません</translation>
        </message>
        <message>
            <source>read(0)</source>
            <translation>読み取り(0)</translation>
        </message>
        <message>
            <source>read(256): no serial port selected</source>
            <translation>read(256)：シリアルポートが選択されていません</translation>
        </message>
        <message>
            <source>read(256)</source>
            <translation>読み取り(256)</translation>
        </message>
        <message>
            <source>read(768): no serial port selected</source>
            <translation>read(768)：シリアルポートが選択されていません</translation>
        </message>
        <message>
            <source>read(768)</source>
            <translation>読み取り(768)</translation>
        </message>
        <message>
            <source>reset rejected: no serial port selected</source>
            <translation>リセットを拒否しました：シリアルポートが選択されていません</translation>
        </message>
        <message>
            <source>reset</source>
            <translation>リセット</translation>
        </message>
        <message>
            <source>Reboot command sent - device rebooting, network parameters take effect</source>
            <translation>再起動コマンドを送信しました - デバイスが再起動し、ネットワークパラメーターが有効になります</translation>
        </message>
        <message>
            <source>act rejected: no serial port selected</source>
            <translation>出力切替を拒否しました：シリアルポートが選択されていません</translation>
        </message>
        <message>
            <source>act %1</source>
            <translation>出力切替 %1</translation>
        </message>
        <message>
            <source>gain %1 stored; no serial port selected</source>
            <translation>ゲイン %1 を保存しました。シリアルポートが選択されていません</translation>
        </message>
        <message>
            <source>gain %1</source>
            <translation>ゲイン %1</translation>
        </message>
        <message>
            <source>probe: no device answered</source>
            <translation>プローブ：応答したデバイスはありません</translation>
        </message>
        <message>
            <source>probe: device answered on %1 (%2)</source>
            <translation>プローブ：%1 でデバイスが応答しました（%2）</translation>
        </message>
        <message>
            <source>gain level %1 applied</source>
            <translation>ゲインレベル %1 を適用しました</translation>
        </message>
        <message>
            <source>reset: done (device is rebooting)</source>
            <translation>リセット：完了（デバイスは再起動中）</translation>
        </message>
        <message>
            <source>UDP output %1 (SET_ACT)</source>
            <translation>UDP 出力を%1（SET_ACT）</translation>
        </message>
        <message>
            <source>enabled</source>
            <translation>有効にしました</translation>
        </message>
        <message>
            <source>disabled</source>
            <translation>無効にしました</translation>
        </message>
        <message>
            <source>auto-net: aborted</source>
            <translation>自動ネットワーク設定：中止しました</translation>
        </message>
        <message>
            <source>write(%1) %2: %3</source>
            <translation>書き込み(%1) %2：%3</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>成功</translation>
        </message>
        <message>
            <source>FAILED</source>
            <translation>失敗</translation>
        </message>
        <message>
            <source>auto-net: aborted (write failed)</source>
            <translation>自動ネットワーク設定：中止しました（書き込み失敗）</translation>
        </message>
        <message>
            <source>auto-net rejected: another device action is running</source>
            <translation>自動ネットワーク設定を拒否しました：別のデバイス操作を実行中です</translation>
        </message>
        <message>
            <source>auto-net rejected: no serial port selected</source>
            <translation>自動ネットワーク設定を拒否しました：シリアルポートが選択されていません</translation>
        </message>
        <message>
            <source>auto-net rejected: no usable network adapter - connect the array's cable first</source>
            <translation>自動ネットワーク設定を拒否しました：使用できるネットワークアダプターがありません - 先にアレイのケーブルを接続してください</translation>
        </message>
        <message>
            <source>auto-net rejected: adapter %1 has no usable IPv4 subnet</source>
            <translation>自動ネットワーク設定を拒否しました：アダプター %1 に使用できる IPv4 サブネットがありません</translation>
        </message>
        <message>
            <source>auto-net</source>
            <translation>自動ネットワーク設定</translation>
        </message>
        <message>
            <source>auto-net: adapter %1, target %2 @ %3 - reading current device parameters</source>
            <translation>自動ネットワーク設定：アダプター %1、ターゲット %2 @ %3 - デバイスの現在のパラメーターを読み取っています</translation>
        </message>
        <message>
            <source>auto-net: keeping device board MAC %1 and ports %2/%3</source>
            <translation>自動ネットワーク設定：デバイスのボード MAC %1 とポート %2/%3 を維持します</translation>
        </message>
        <message>
            <source>auto-net: device target port %1 replaced by %2, the live stream's port</source>
            <translation>自動ネットワーク設定：デバイスのターゲットポート %1 をライブストリームのポート %2 に置き換えました</translation>
        </message>
        <message>
            <source>auto-net: every candidate address is occupied - aborted</source>
            <translation>自動ネットワーク設定：候補アドレスはすべて使用中です - 中止しました</translation>
        </message>
        <message>
            <source>auto-net: probe</source>
            <translation>自動ネットワーク設定：プローブ</translation>
        </message>
        <message>
            <source>auto-net: probing %1 for conflicts...</source>
            <translation>自動ネットワーク設定：%1 の競合を確認しています…</translation>
        </message>
        <message>
            <source>auto-net: aborted - ping of %1 failed: %2</source>
            <translation>自動ネットワーク設定：中止しました - %1 への ping に失敗しました：%2</translation>
        </message>
        <message>
            <source>auto-net: aborted - neighbour table unreadable: %1</source>
            <translation>自動ネットワーク設定：中止しました - 近隣テーブルを読み取れません：%1</translation>
        </message>
        <message>
            <source>auto-net: %1 is occupied (%2), trying next</source>
            <translation>自動ネットワーク設定：%1 は使用中です（%2）。次を試します</translation>
        </message>
        <message>
            <source>ping reply</source>
            <translation>ping 応答あり</translation>
        </message>
        <message>
            <source>ARP entry</source>
            <translation>ARP エントリーあり</translation>
        </message>
        <message>
            <source>auto-net: %1 appears free (no ping reply, no ARP entry)</source>
            <translation>自動ネットワーク設定：%1 は空いているようです（ping 応答なし、ARP エントリーなし）</translation>
        </message>
        <message>
            <source>auto-net: write(256)</source>
            <translation>自動ネットワーク設定：書き込み(256)</translation>
        </message>
        <message>
            <source>auto-net: writing device @ %1 -&gt; target %2:%3</source>
            <translation>自動ネットワーク設定：デバイス @ %1 -&gt; ターゲット %2:%3 を書き込んでいます</translation>
        </message>
        <message>
            <source>auto-net: write verified - rebooting device (.reset)</source>
            <translation>自動ネットワーク設定：書き込みを検証しました - デバイスを再起動しています（.reset）</translation>
        </message>
        <message>
            <source>auto-net: reset</source>
            <translation>自動ネットワーク設定：リセット</translation>
        </message>
        <message>
            <source>auto-net: complete - device %1 @ %2 -&gt; target %3 @ %4:%5 (device is rebooting, parameters take effect now)</source>
            <translation>自動ネットワーク設定：完了 - デバイス %1 @ %2 -&gt; ターゲット %3 @ %4:%5（デバイスは再起動中で、パラメーターは今から有効です）</translation>
        </message>
        <message>
            <source>read(0): hardware id %1</source>
            <translation>read(0)：ハードウェア ID %1</translation>
        </message>
        <message>
            <source>sector blank (0xFF) - firmware defaults in effect</source>
            <translation>セクターは空です（0xFF）- ファームウェアの既定値が有効です</translation>
        </message>
        <message>
            <source>device %1 @ %2  -&gt;  target %3 @ %4:%5  (src port %6)</source>
            <translation>デバイス %1 @ %2  -&gt;  ターゲット %3 @ %4:%5  （送信元ポート %6）</translation>
        </message>
        <message>
            <source>unparsable sector content</source>
            <translation>セクターの内容を解析できません</translation>
        </message>
        <message>
            <source>read(256): %1</source>
            <translation>read(256)：%1</translation>
        </message>
        <message>
            <source>sector blank (0xFF)</source>
            <translation>セクターは空です（0xFF）</translation>
        </message>
        <message>
            <source>%1 taps read</source>
            <translation>%1 タップを読み取りました</translation>
        </message>
        <message>
            <source>%1 taps - matches preset "%2"</source>
            <translation>%1 タップ - プリセット「%2」と一致</translation>
        </message>
        <message>
            <source> - no preset in the active profile matches</source>
            <translation> - 現在のプロファイルに一致するプリセットはありません</translation>
        </message>
        <message>
            <source>read(768): %1</source>
            <translation>read(768)：%1</translation>
        </message>
        <message>
            <source>write(256) rejected: no serial port selected</source>
            <translation>write(256) を拒否しました：シリアルポートが選択されていません</translation>
        </message>
        <message numerus="yes">
            <source>write(256) rejected: %n invalid field</source>
            <translation>
                <numerusform>write(256) を拒否しました：無効な項目が %n 個あります</numerusform>
            </translation>
        </message>
        <message numerus="yes">
            <source>write(256) rejected: %n invalid fields</source>
            <translation>
                <numerusform>write(256) を拒否しました：無効な項目が %n 個あります</numerusform>
            </translation>
        </message>
        <message>
            <source>write(256)</source>
            <translation>書き込み(256)</translation>
        </message>
        <message>
            <source>write(256): device %1 @ %2 -&gt; target %3 @ %4:%5 (power cycle required after write)</source>
            <translation>write(256)：デバイス %1 @ %2 -&gt; ターゲット %3 @ %4:%5（書き込み後に電源の再投入が必要です）</translation>
        </message>
        <message>
            <source>write(768) rejected: no serial port selected</source>
            <translation>write(768) を拒否しました：シリアルポートが選択されていません</translation>
        </message>
        <message>
            <source>write(768) rejected: active profile has no FIR section</source>
            <translation>write(768) を拒否しました：現在のプロファイルに FIR セクションがありません</translation>
        </message>
        <message>
            <source>write(768) rejected: unknown preset %1</source>
            <translation>write(768) を拒否しました：不明なプリセット %1</translation>
        </message>
        <message>
            <source>write(768) rejected: %1</source>
            <translation>write(768) を拒否しました：%1</translation>
        </message>
        <message>
            <source>write(768) rejected: preset "%1" has no coefficients</source>
            <translation>write(768) を拒否しました：プリセット「%1」に係数がありません</translation>
        </message>
        <message>
            <source>write(768) rejected: preset "%1" has %2 taps, one sector holds at most %3</source>
            <translation>write(768) を拒否しました：プリセット「%1」は %2 タップですが、1 セクターに入るのは最大 %3 です</translation>
        </message>
        <message>
            <source>write(768)</source>
            <translation>書き込み(768)</translation>
        </message>
        <message>
            <source>write(768): preset "%1" (%2 taps, %3 bytes)</source>
            <translation>write(768)：プリセット「%1」（%2 タップ、%3 バイト）</translation>
        </message>
    </context>
    <context>
        <name>zk::device::NetworkProbe</name>
        <message>
            <source>ping killed</source>
            <translation>ping を強制終了しました</translation>
        </message>
        <message>
            <source>ping crashed</source>
            <translation>ping が異常終了しました</translation>
        </message>
        <message>
            <source>ping exit code %1</source>
            <translation>ping の終了コード %1</translation>
        </message>
        <message>
            <source>ping exit code %1: %2</source>
            <translation>ping の終了コード %1：%2</translation>
        </message>
        <message>
            <source>ping could not be started: %1</source>
            <translation>ping を起動できません：%1</translation>
        </message>
        <message>
            <source>neighbour table unavailable: %1</source>
            <translation>近隣テーブルを利用できません：%1</translation>
        </message>
    </context>
    <context>
        <name>zk::device::SerialWorker</name>
        <message>
            <source>serial port hung up</source>
            <translation>シリアルポートが切断されました</translation>
        </message>
        <message>
            <source>cancelled: the serial thread is stopping</source>
            <translation>キャンセルしました：シリアルスレッドを停止中です</translation>
        </message>
        <message>
            <source>write timeout</source>
            <translation>書き込みタイムアウト</translation>
        </message>
        <message>
            <source>response timeout</source>
            <translation>応答タイムアウト</translation>
        </message>
        <message>
            <source>erase: %1</source>
            <translation>消去：%1</translation>
        </message>
        <message>
            <source>erase verify: sector not blank (write aborted)</source>
            <translation>消去の検証：セクターが空ではありません（書き込みを中止）</translation>
        </message>
        <message>
            <source>write: %1</source>
            <translation>書き込み：%1</translation>
        </message>
        <message>
            <source>readback timeout</source>
            <translation>読み戻しタイムアウト</translation>
        </message>
        <message>
            <source>readback mismatch</source>
            <translation>読み戻しが一致しません</translation>
        </message>
        <message>
            <source>readback timeout (%1 bytes)</source>
            <translation>読み戻しタイムアウト（%1 バイト）</translation>
        </message>
        <message>
            <source>failed to open serial port: %1</source>
            <translation>シリアルポートを開けませんでした：%1</translation>
        </message>
        <message>
            <source>read timeout</source>
            <translation>読み取りタイムアウト</translation>
        </message>
        <message>
            <source>refused: empty sector payload</source>
            <translation>拒否しました：セクターのデータが空です</translation>
        </message>
        <message>
            <source>refused: %1 bytes exceed the %2-byte sector</source>
            <translation>拒否しました：%1 バイトは %2 バイトのセクターを超えています</translation>
        </message>
        <message>
            <source>unexpected error</source>
            <translation>予期しないエラー</translation>
        </message>
        <message>
            <source>no device answered</source>
            <translation>応答したデバイスはありません</translation>
        </message>
        <message>
            <source>read(%1)</source>
            <translation>読み取り(%1)</translation>
        </message>
        <message>
            <source>readback verified</source>
            <translation>読み戻しを検証しました</translation>
        </message>
        <message>
            <source>gain</source>
            <translation>ゲイン</translation>
        </message>
        <message>
            <source>reset</source>
            <translation>リセット</translation>
        </message>
        <message>
            <source>SET_ACT requires a ZK-UART v2 device</source>
            <translation>SET_ACT には ZK-UART v2 デバイスが必要です</translation>
        </message>
        <message>
            <source>act</source>
            <translation>出力切替</translation>
        </message>
    </context>
    <context>
        <name>RecentProjectsDialog</name>
        <message>
            <source>Recent Projects</source>
            <translation>最近のプロジェクト</translation>
        </message>
        <message>
            <source>No recent projects yet</source>
            <translation>最近のプロジェクトはまだありません</translation>
        </message>
        <message>
            <source>Open</source>
            <translation>開く</translation>
        </message>
        <message>
            <source>Remove from Recent Projects (the folder stays on disk)</source>
            <translation>最近のプロジェクトから削除（フォルダーはディスクに残ります）</translation>
        </message>
    </context>
    <context>
        <name>RunWindowLabel</name>
        <message>
            <source>%1–%2 s</source>
            <translation>%1–%2 秒</translation>
        </message>
    </context>
</TS>
